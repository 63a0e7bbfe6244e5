#include "pages/general_page.h"
#include "pages/nm_page.h"
#include "pages/ot_page.h"
#include "pages/prnt_page.h"

namespace risview::pages {

std::unique_ptr<TPrntPage> createPage(int32_t departmentId, const data::Query& row,
                                      PageContext& context) {
  switch (departmentId) {
    case 4:
      return std::make_unique<TOTPrntPage>(row, context);
    case 5:
      return std::make_unique<TNMPrntPage>(row, context);
    default:
      return std::make_unique<TMyPrntPage>(row, context);
  }
}

}  // namespace risview::pages
