// Loading a request's report for the preview window: the newest edition, one page per
// report row, each with its tab caption. Portable, so the dump tool loads exactly what the
// window shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pages/prnt_page.h"

namespace risview::preview {

// The report statement: two lines, the requisition spliced into both.
std::vector<std::string> reportStatement(std::string_view requisitionId);

// "  第 一 页", or for a revised edition "  第 二 页 的第三次修改 ". Throws ConversionError
// when reportId is not a whole number.
std::string tabCaption(std::string_view reportId, int32_t editOrder);

struct ReportTab {
  std::string caption;
  std::unique_ptr<pages::TPrntPage> page;
};

struct LoadedReport {
  int32_t departmentId = 0;
  std::vector<ReportTab> tabs;  // in row order
  // A page that was built and shown but whose caption could not be made: loading ended
  // there and the page stays in the window without a tab.
  std::unique_ptr<pages::TPrntPage> untabbed;
  std::vector<std::string> dropped;  // ReportIDs of rows whose page could not be built
};

// Loads the report of the request through a query on context.con. A database error or a
// row that cannot be paged ends the loading quietly with what was built; the query is
// closed in every case.
LoadedReport LoadReport(std::string_view requisitionId, pages::PageContext& context);

}  // namespace risview::preview
