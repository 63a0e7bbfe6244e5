#include "preview/report_loading.h"

#include <exception>
#include <optional>

#include "model/text_changes.h"
#include "platform/text.h"
#include "preview/chinese_numerals.h"

namespace risview::preview {

std::vector<std::string> reportStatement(std::string_view requisitionId) {
  const std::string requisition = data::quoted(requisitionId);
  return {
      "SELECT RIS_PATIENT.PATIENT_ID,                                            PTN_NAME,      "
      "                                      SEX,                                            "
      "BIRTH,                                RIS_REQUEST.*,                               "
      "RIS_REPORT.*            FROM  RIS_PATIENT,RIS_REQUEST,RIS_REPORT              where "
      "RIS_PATIENT.PATIENT_ID = RIS_REQUEST.PatientID              and   "
      "RIS_REQUEST.RequisitionID = RIS_REPORT.RequisitionID              and   "
      "RIS_REQUEST.RequisitionID = " +
          requisition,
      " and RIS_REPORT.EditOrder = (select max(EditOrder) from RIS_REPORT where RequisitionID = " +
          requisition + ")"};
}

std::vector<std::string> reportStatement(std::string_view requisitionId, int32_t editOrder) {
  std::vector<std::string> lines = reportStatement(requisitionId);
  lines.back() = " and RIS_REPORT.EditOrder = " + data::quoted(std::to_string(editOrder));
  return lines;
}

std::string editionsStatement(std::string_view requisitionId) {
  return "select distinct EditOrder from RIS_REPORT where RequisitionID = " +
         data::quoted(requisitionId) + " order by EditOrder";
}

std::string revisionsStatement(std::string_view requisitionId) {
  return "select RIS_ReportAction.ActionNum,RIS_ReportAction.ActionDate,UserInfo.UserName "
         "from RIS_ReportAction,UserInfo where RIS_ReportAction.RequisitionID = " +
         data::quoted(requisitionId) +
         " and RIS_ReportAction.ActionName = 4 and UserInfo.UserID = RIS_ReportAction.UserID";
}

std::vector<Edition> ReadEditions(std::string_view requisitionId, data::Connection& con) {
  std::vector<Edition> editions;
  data::Query query(con, "editions");
  query.addSql(editionsStatement(requisitionId));
  query.open();
  for (; !query.eof(); query.next()) editions.push_back({query.field("EditOrder").asInteger()});
  query.close();
  // The revision that belongs to an edition is the first row with its number, as the
  // signature block of its pages takes it.
  query.clearSql();
  query.addSql(revisionsStatement(requisitionId));
  query.open();
  std::vector<bool> named(editions.size());
  for (; !query.eof(); query.next()) {
    const std::optional<int32_t> number = parseInt(query.field("ActionNum").asString());
    for (size_t i = 0; number && i < editions.size(); ++i) {
      if (editions[i].editOrder != *number || named[i]) continue;
      editions[i].reviser = query.field("UserName").asString();
      editions[i].date = query.field("ActionDate").asString();
      named[i] = true;
    }
  }
  query.close();
  return editions;
}

std::string editionLabel(const Edition& edition) {
  if (edition.editOrder == 0) return "原始报告";
  std::string label = "第" + IntToChinese(edition.editOrder) + "次修改";
  for (const std::string* part : {&edition.reviser, &edition.date}) {
    if (!trim(*part).empty()) label += " " + trimmed(*part);
  }
  return label;
}

std::string tabCaption(std::string_view reportId, int32_t editOrder) {
  std::string caption = "  第 " + IntToChinese(toInt(reportId)) + " 页";
  if (editOrder != 0) caption += " 的第" + IntToChinese(editOrder) + "次修改 ";
  return caption;
}

namespace {

LoadedReport loadRows(const std::vector<std::string>& statement, pages::PageContext& context) {
  LoadedReport report;
  data::Query query(context.con, "report");
  // Every statement of every page waits in turn: the host's windows are disabled once.
  const Waits::Batch statements(context.con.waits());
  try {
    for (const auto& line : statement) query.addSql(line);
    query.open();
    report.departmentId = query.field("DepartmentID").asInteger();
    for (; !query.eof(); query.next()) {
      const int32_t editOrder = query.field("EditOrder").asInteger();
      LoggedStep logged(context.services, "page");
      auto page = pages::createPage(report.departmentId, query, context);
      logged.done(std::string(page->PageBuilt ? "built" : "dropped") + ": page " + page->ReportID +
                  ", department " + std::to_string(report.departmentId));
      if (!page->PageBuilt) {
        report.dropped.push_back(page->ReportID);
        continue;
      }
      report.untabbed = std::move(page);
      std::string caption = tabCaption(report.untabbed->ReportID, editOrder);
      report.tabs.push_back({std::move(caption), std::move(report.untabbed)});
    }
  } catch (const std::exception&) {
    // Loading ends here; what was built stays.
  }
  query.close();
  return report;
}

}  // namespace

LoadedReport LoadReport(std::string_view requisitionId, pages::PageContext& context) {
  return loadRows(reportStatement(requisitionId), context);
}

LoadedReport LoadReport(std::string_view requisitionId, int32_t editOrder,
                        pages::PageContext& context) {
  return loadRows(reportStatement(requisitionId, editOrder), context);
}

void MarkChanges(LoadedReport& report, const LoadedReport& before) {
  for (ReportTab& tab : report.tabs) {
    const pages::TPrntPage* was = nullptr;
    for (const ReportTab& old : before.tabs) {
      if (old.page->ReportID == tab.page->ReportID) was = old.page.get();
    }
    model::markChanges(tab.page->model(), was ? &was->model() : nullptr);
  }
}

}  // namespace risview::preview
