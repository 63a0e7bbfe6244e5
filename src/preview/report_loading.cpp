#include "preview/report_loading.h"

#include <exception>

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

std::string tabCaption(std::string_view reportId, int32_t editOrder) {
  std::string caption = "  第 " + IntToChinese(toInt(reportId)) + " 页";
  if (editOrder != 0) caption += " 的第" + IntToChinese(editOrder) + "次修改 ";
  return caption;
}

LoadedReport LoadReport(std::string_view requisitionId, pages::PageContext& context) {
  LoadedReport report;
  data::Query query(context.con);
  try {
    for (const auto& line : reportStatement(requisitionId)) query.addSql(line);
    query.open();
    report.departmentId = query.field("DepartmentID").asInteger();
    for (; !query.eof(); query.next()) {
      const int32_t editOrder = query.field("EditOrder").asInteger();
      auto page = pages::createPage(report.departmentId, query, context);
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

}  // namespace risview::preview
