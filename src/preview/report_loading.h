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
// The same rows for one chosen edition instead of the newest.
std::vector<std::string> reportStatement(std::string_view requisitionId, int32_t editOrder);

// An edition of the report, with who revised it and when, from its revision row.
struct Edition {
  int32_t editOrder = 0;
  std::string reviser, date;  // empty without a revision row
};
// The statements that list the editions and their revision rows.
std::string editionsStatement(std::string_view requisitionId);
std::string revisionsStatement(std::string_view requisitionId);
// The request's editions, the first one first; each revised one with its first revision row.
std::vector<Edition> ReadEditions(std::string_view requisitionId, data::Connection& con);
// "原始报告" for edition 0, else "第N次修改" and the reviser and date where known.
std::string editionLabel(const Edition& edition);

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
// The same for one chosen edition.
LoadedReport LoadReport(std::string_view requisitionId, int32_t editOrder,
                        pages::PageContext& context);
// Marks the report texts of every page with what changed since the same page of `before`
// (the edition before it).
void MarkChanges(LoadedReport& report, const LoadedReport& before);

}  // namespace risview::preview
