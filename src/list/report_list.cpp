#include "list/report_list.h"

#include "platform/text.h"

namespace risview::list {

std::string listStatement(std::string_view clinicID, std::string_view hospitalID) {
  static constexpr std::string_view kSelect =
      "select RequisitionID as SheetID,Examdate as ReqeDateTime,PatientID,ExamBodyPart as "
      "ExamProjectNameDesc,RequisitionID as AccessionNum from RIS_REQUEST  where ";
  if (!trim(hospitalID).empty()) {
    return std::string(kSelect) + "HospitalID = " + data::quoted(hospitalID);
  }
  if (!trim(clinicID).empty()) return std::string(kSelect) + "ClinicID = " + data::quoted(clinicID);
  return {};
}

ListContent fillList(data::TdmRIS& dm, std::string_view clinicID, std::string_view hospitalID) {
  ListContent content;
  // The failure was reported when the data module was made.
  if (!dm.con.connected()) return content;
  data::Query& q = dm.qryShowDeatil;
  q.close();
  q.setSql(listStatement(clinicID, hospitalID));
  q.open();
  content.patientID = trimmed(q.field("PatientID").asString());
  for (; !q.eof(); q.next()) {
    content.rows.push_back(
        {trimmed(q.field("SheetID").asString()), q.field("ReqeDateTime").asString(),
         q.field("ExamProjectNameDesc").asString(), q.field("AccessionNum").asString()});
  }
  content.openAtOnce = q.recordCount() == 1;
  return content;
}

}  // namespace risview::list
