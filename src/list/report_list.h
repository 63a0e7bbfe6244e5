// The report list's show handler without its window: which statement lists the
// patient's requests, and what the list shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/data_module.h"

namespace risview::list {

// The list statement: by inpatient number when it is not blank, else by outpatient number,
// else empty. The value goes in as given (blanks kept), with apostrophes doubled.
std::string listStatement(std::string_view clinicID, std::string_view hospitalID);

struct ListRow {
  std::string caption;       // RequisitionID, trimmed
  std::string reqeDateTime;  // Examdate
  std::string examProject;   // ExamBodyPart
  std::string accessionNum;  // RequisitionID, as delivered
  bool operator==(const ListRow&) const = default;
};

struct ListContent {
  std::vector<ListRow> rows;
  std::string patientID;    // the first row's PatientID, trimmed
  bool openAtOnce = false;  // exactly one request: the open action runs by itself
};

// Runs the list query on the data module's qryShowDeatil (left open for the open action).
// With the radiology connection closed the list is empty. Database errors throw.
ListContent fillList(data::TdmRIS& dm, std::string_view clinicID, std::string_view hospitalID);

}  // namespace risview::list
