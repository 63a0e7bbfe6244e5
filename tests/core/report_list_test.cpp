#include "list/report_list.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "support/doubles.h"
#include "support/fixture.h"

namespace risview::list {
namespace {

using testing::Backend;
using testing::FakeServices;
using testing::Fixture;
using testing::Schema;

TEST(ListStatement, InpatientNumberWinsWhenNotBlank) {
  const std::string select =
      "select RequisitionID as SheetID,Examdate as ReqeDateTime,PatientID,ExamBodyPart as "
      "ExamProjectNameDesc,RequisitionID as AccessionNum from RIS_REQUEST  where ";
  struct Case {
    const char *clinic, *hospital, *where;
  } cases[] = {
      {"123", "   ", "ClinicID = '123'"},
      {"", " 45 ", "HospitalID = ' 45 '"},  // trimming only decides, the value keeps its blanks
      {"123", "45", "HospitalID = '45'"},
      {"12'3", "", "ClinicID = '12''3'"},
      {"\t", "\r\n", nullptr},
      {"", "", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(listStatement(c.clinic, c.hospital), c.where ? select + c.where : std::string())
        << c.clinic << "/" << c.hospital;
  }
}

class ReportListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.insert("RIS_REQUEST", {{"RequisitionID", " R100 "},
                              {"PatientID", " P1 "},
                              {"HospitalID", "45"},
                              {"ClinicID", "123"},
                              {"Examdate", "2024-03-05"},
                              {"ExamBodyPart", " 胸部正位 "}});
    fx.insert("RIS_REQUEST", {{"RequisitionID", "R099"},
                              {"PatientID", "P2"},
                              {"HospitalID", "45"},
                              {"Examdate", "2024-03-06"},
                              {"ExamBodyPart", "头颅CT"}});
    fx.insert("RIS_REQUEST", {{"RequisitionID", "R200"},
                              {"PatientID", "P3"},
                              {"ClinicID", "777"},
                              {"ExamBodyPart", "腹部"}});
    fx.insert("RIS_REQUEST",
              {{"RequisitionID", "R300"}, {"PatientID", "P4"}, {"ClinicID", "O'Neil"}});
    std::string ini = "[RISDATASET]\nSERVER=" + fx.server() + "\nDataBaseName=" + fx.database() +
                      "\nDriver=" + fx.driver() + "\n";
    fake.env.files["C:\\work\\RisOption.ini"] = ini;
    dm = std::make_unique<data::TdmRIS>(fake.services());
  }
  Fixture fx{Backend::Sqlite, Schema::Ris};
  FakeServices fake;
  std::unique_ptr<data::TdmRIS> dm;
};

TEST_F(ReportListTest, RowsInDatabaseOrderWithTrimmedCaptionsOnly) {
  ListContent content = fillList(*dm, "777", "45");
  EXPECT_EQ(content.rows, (std::vector<ListRow>{{"R100", "2024-03-05", " 胸部正位 ", " R100 "},
                                                {"R099", "2024-03-06", "头颅CT", "R099"}}));
  EXPECT_EQ(content.patientID, "P1");  // the first row's, trimmed
  EXPECT_FALSE(content.openAtOnce);
  EXPECT_EQ(dm->qryShowDeatil.recordCount(), 2);  // left open for the open action
}

TEST_F(ReportListTest, OneRequestOpensAtOnceNoneOpensNothing) {
  ListContent one = fillList(*dm, "777", "  ");
  EXPECT_EQ(one.rows.size(), 1u);
  EXPECT_TRUE(one.openAtOnce);
  ListContent none = fillList(*dm, "000", "");
  EXPECT_TRUE(none.rows.empty());
  EXPECT_EQ(none.patientID, "");
  EXPECT_FALSE(none.openAtOnce);
}

TEST_F(ReportListTest, ApostropheInANumberFindsItsRow) {
  ListContent content = fillList(*dm, "O'Neil", "");
  ASSERT_EQ(content.rows.size(), 1u);
  EXPECT_EQ(content.rows[0].caption, "R300");
}

TEST_F(ReportListTest, BlankNumbersAreADatabaseErrorAndLeaveTheQueryClosed) {
  EXPECT_THROW(fillList(*dm, "", " "), DatabaseError);
  EXPECT_FALSE(dm->qryShowDeatil.active());
  EXPECT_THROW(dm->qryShowDeatil.recordCount(), DatabaseError);
}

TEST(ReportList, ClosedRadiologyConnectionGivesAnEmptyListSilently) {
  FakeServices fake;
  data::TdmRIS dm(fake.services());
  fake.boxes.shown.clear();
  ListContent content = fillList(dm, "123", "");
  EXPECT_TRUE(content.rows.empty());
  EXPECT_TRUE(fake.boxes.shown.empty());
}

}  // namespace
}  // namespace risview::list
