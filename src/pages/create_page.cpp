#include "pages/general_page.h"
#include "pages/prnt_page.h"

namespace risview::pages {

std::unique_ptr<TPrntPage> createPage(int32_t departmentId, const data::Query& row,
                                      PageContext& context) {
  // TEMPORARY: departments 4 (endoscopy) and 5 (nuclear medicine) get the general page until
  // their own layouts are in.
  (void)departmentId;
  return std::make_unique<TMyPrntPage>(row, context);
}

}  // namespace risview::pages
