#include "pages/general_page.h"
#include "pages/nm_page.h"
#include "pages/ot_page.h"
#include "pages/prnt_page.h"

namespace risview::pages {

std::unique_ptr<TPrntPage> createPage(int32_t departmentId, const data::Query& row,
                                      PageContext& context) {
  std::unique_ptr<TPrntPage> page;
  switch (departmentId) {
    case 4:
      page = std::make_unique<TOTPrntPage>(row, context);
      break;
    case 5:
      page = std::make_unique<TNMPrntPage>(row, context);
      break;
    default:
      page = std::make_unique<TMyPrntPage>(row, context);
      break;
  }
  page->model().markOverflows(context.metrics);
  return page;
}

}  // namespace risview::pages
