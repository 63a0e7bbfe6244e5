// The database layer against real servers: SQLite through its ODBC driver and, where the
// test script started one, PostgreSQL through psqlODBC.
#include "data/database.h"

#include <gtest/gtest.h>

#include "data/connection_string.h"
#include "platform/errors.h"
#include "support/fixture.h"

namespace risview::data {
namespace {

using testing::Backend;
using testing::Fixture;
using testing::kNull;
using testing::Schema;

TEST(NamedParameters, BecomePositionalOutsideLiterals) {
  PreparedText p = prepareNamedParameters(
      "select ':x', \"a:b\" from T where A=:pRequisitionID and B = :pActionNum and C='it''s :y'"
      " and D::text = :pRequisitionID");
  EXPECT_EQ(p.sql,
            "select ':x', \"a:b\" from T where A=? and B = ? and C='it''s :y' and D::text = ?");
  EXPECT_EQ(p.names, (std::vector<std::string>{"pRequisitionID", "pActionNum", "pRequisitionID"}));
}

TEST(Quoting, DoublesApostrophes) {
  EXPECT_EQ(quoted("123"), "'123'");
  EXPECT_EQ(quoted("O'Brien"), "'O''Brien'");
  EXPECT_EQ(quoted(""), "''");
}

class DatabaseTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (!Fixture::available(GetParam())) GTEST_SKIP() << "backend not started";
    fx = std::make_unique<Fixture>(GetParam(), Schema::Ris);
  }
  std::unique_ptr<Fixture> fx;
};

TEST_P(DatabaseTest, BuffersRowsAndReadsFieldsByName) {
  fx->insert("RIS_REQUEST", {{"RequisitionID", "R1"},
                             {"PatientID", "P1"},
                             {"HospitalID", "45"},
                             {"DepartmentID", "4"},
                             {"ExamBodyPart", "胸部正位"}});
  fx->insert("RIS_REQUEST", {{"RequisitionID", "R2"}, {"PatientID", kNull}, {"DepartmentID", "5"}});
  Query q(fx->connection());
  q.setSql(
      "select RequisitionID as SheetID, PatientID, ExamBodyPart, DepartmentID from RIS_REQUEST "
      "order by RequisitionID");
  q.open();
  ASSERT_EQ(q.recordCount(), 2);
  EXPECT_EQ(q.field("sheetid").asString(), "R1");
  EXPECT_EQ(q.field("ExamBodyPart").asString(), "胸部正位");
  EXPECT_EQ(q.field("DEPARTMENTID").asInteger(), 4);
  EXPECT_THROW(q.field("ExamBodyPart").asInteger(), ConversionError);
  q.next();
  EXPECT_TRUE(q.field("PatientID").isNull());
  EXPECT_EQ(q.field("PatientID").asString(), "");
  EXPECT_EQ(q.field("DepartmentID").asInteger(), 5);
  q.next();
  EXPECT_TRUE(q.eof());
  EXPECT_EQ(q.field("DepartmentID").asInteger(), 0);  // past the end every field is null
  EXPECT_THROW(q.field("NoSuchColumn"), DatabaseError);
}

TEST_P(DatabaseTest, FirstOfEqualColumnNamesWins) {
  fx->insert("RIS_REQUEST", {{"RequisitionID", "REQ"}, {"PatientID", "P"}});
  fx->insert("RIS_REPORT", {{"RequisitionID", "REP"}, {"EditOrder", "0"}, {"ReportID", "1"}});
  Query q(fx->connection());
  q.setSql("select RIS_REQUEST.*, RIS_REPORT.* from RIS_REQUEST, RIS_REPORT");
  q.open();
  EXPECT_EQ(q.field("RequisitionID").asString(), "REQ");
}

TEST_P(DatabaseTest, NamedParametersBindTextAndNumbers) {
  fx->insert("RIS_ReportAction", {{"RequisitionID", "R'1"},
                                  {"ActionName", "4"},
                                  {"ActionNum", "2"},
                                  {"ActionDate", "2024-03-07"},
                                  {"UserID", "u1"}});
  fx->insert("RIS_ReportAction", {{"RequisitionID", "R'1"},
                                  {"ActionName", "4"},
                                  {"ActionNum", "1"},
                                  {"ActionDate", "2024-03-06"},
                                  {"UserID", "u1"}});
  fx->insert("UserInfo", {{"UserID", "u1"}, {"UserName", "李明"}});
  Query q(fx->connection());
  q.clearSql();
  q.addSql(
      "select RIS_ReportAction.ActionDate,UserInfo.UserName                             from "
      "RIS_ReportAction,UserInfo                            where "
      "RIS_ReportAction.RequisitionID=:pRequisitionID                            and "
      "RIS_ReportAction.ActionName = 4                            and RIS_ReportAction.ActionNum  "
      "=:pActionNum                            and UserInfo.UserID = RIS_ReportAction.UserID");
  q.setParameter("pRequisitionID", std::string("R'1"));
  q.setParameter("pActionNum", int64_t{2});
  q.open();
  ASSERT_EQ(q.recordCount(), 1);
  EXPECT_EQ(q.field("ActionDate").asString(), "2024-03-07");
  EXPECT_EQ(q.field("UserName").asString(), "李明");
}

TEST_P(DatabaseTest, QuotedValuesFindTheirRowAndCannotChangeTheStatement) {
  fx->insert("RIS_REQUEST", {{"RequisitionID", "A"}, {"HospitalID", "O'Neil"}});
  fx->insert("RIS_REQUEST", {{"RequisitionID", "B"}, {"HospitalID", "x"}});
  Query q(fx->connection());
  q.setSql("select RequisitionID from RIS_REQUEST where HospitalID = " + quoted("O'Neil"));
  q.open();
  ASSERT_EQ(q.recordCount(), 1);
  EXPECT_EQ(q.field("RequisitionID").asString(), "A");
  q.setSql("select RequisitionID from RIS_REQUEST where HospitalID = " + quoted("' or '1'='1"));
  q.open();
  EXPECT_EQ(q.recordCount(), 0);
}

TEST_P(DatabaseTest, LongTextsArriveWhole) {
  std::string finding;
  for (int i = 0; i < 1500; ++i) finding += "肺";  // longer than one read buffer
  fx->insert(
      "RIS_REPORT",
      {{"RequisitionID", "R"}, {"EditOrder", "0"}, {"ReportID", "1"}, {"ImageFinding", finding}});
  Query q(fx->connection());
  q.setSql("select ImageFinding from RIS_REPORT");
  q.open();
  std::string got = q.field("ImageFinding").asString();
  EXPECT_EQ(got.size(), finding.size());
  EXPECT_TRUE(got == finding);
}

TEST_P(DatabaseTest, ErrorsCarryTheDriverText) {
  Query q(fx->connection());
  EXPECT_THROW(q.recordCount(), DatabaseError);  // never opened
  EXPECT_THROW(q.open(), DatabaseError);         // no statement
  q.setSql("select * from NO_SUCH_TABLE");
  try {
    q.open();
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find_first_of("nN"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(q.active());
  q.setSql("select 1 as a where 1 = :missing");
  EXPECT_THROW(q.open(), DatabaseError);
}

TEST_P(DatabaseTest, ClosedConnectionOpensOnDemand) {
  fx->insert("UserInfo", {{"UserID", "u"}, {"UserName", "n"}});
  Connection con;
  con.setConnectionString(
      buildOleDbConnectionString(fx->server(), fx->database(), fx->user(), fx->password()),
      fx->driver());
  EXPECT_FALSE(con.connected());
  Query q(con);
  q.setSql("select UserName from UserInfo");
  q.open();
  EXPECT_TRUE(con.connected());
  EXPECT_EQ(q.field("UserName").asString(), "n");
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) {
                           return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

TEST(Connection, UnreachableServerFailsWithTheDriverText) {
  Connection con;
  con.setLoginTimeout(3);
  con.setConnectionString(buildOleDbConnectionString("127.0.0.1,1", "RIS", "sa", "x"));
  try {
    con.open();
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_FALSE(con.connected());
}

TEST(Connection, UnknownProviderNeverReachesADriver) {
  Connection con;
  con.setConnectionString("Provider=MSDASQL;DSN=x;");
  EXPECT_THROW(con.open(), DatabaseError);
}

}  // namespace
}  // namespace risview::data
