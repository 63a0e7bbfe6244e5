#include "content/signatures.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "support/doubles.h"
#include "support/fixture.h"

namespace risview::content {

void PrintTo(const Signatures& s, std::ostream* os) {
  *os << "{report '" << s.reportPhysicians << "', audit '" << s.auditPhysicians << "', date '"
      << s.reportDate << "', tech '" << s.technicians << "', revision "
      << (s.revisionVisible ? "shown" : "hidden") << " '" << s.revisionUser << "' '"
      << s.revisionDate << "'}";
}

namespace {

using risview::testing::Backend;
using risview::testing::Fixture;
using risview::testing::kNull;
using risview::testing::Schema;
using risview::testing::TestLocale;
using Outcome = SignatureOutcome;

class FillSignaturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
    fx = std::make_unique<Fixture>(Backend::Sqlite, Schema::Ris);
    // Users in the order of their actions, so the join delivers the actions in insertion
    // order whichever table the database scans first. Names differ from ids to show the join.
    for (const char* name : {"A", "B", "C", "D", "E"}) {
      fx->insert("UserInfo", {{"UserID", std::string("u") + name}, {"UserName", name}});
    }
  }

  void action(const std::string& name, const std::string& user, const std::string& date,
              const std::string& time = "090000", const std::string& num = "0",
              const std::string& request = "R1") {
    fx->insert("RIS_ReportAction", {{"RequisitionID", request},
                                    {"ActionName", name},
                                    {"ActionNum", num},
                                    {"ActionDate", date},
                                    {"ActionTime", time},
                                    {"UserID", "u" + user}});
  }

  void technician(const std::string& name, const std::string& request = "R1") {
    fx->insert("TechList", {{"RequisitionID", request}, {"TechName", name}});
  }

  // The revised first edition: two writers, one auditor, revisions of editions 1 and 2, and
  // the actions and technicians of another request.
  void revisedReport() {
    action("1", "A", "2024-03-05", "081500");
    action("2", "B", "2024-03-05");
    action("1", "C", "2024-03-06", "143000");
    action("4", "D", "2024-03-07", "100000", "1");
    action("4", "E", "2024-03-08", "100000", "2");
    action("1", "E", "2024-01-01", "000000", "0", "R2");
    technician("T1");
    technician("T2");
    technician("T9", "R2");
  }

  SignatureResult fill(PageKind kind, int editOrder = 1, bool emergency = false) {
    data::Query query(fx->connection());
    return FillSignatures(kind, query, "R1", editOrder, emergency, locale);
  }

  std::unique_ptr<Fixture> fx;
  TestLocale locale;
};

TEST_F(FillSignaturesTest, FillsEachPageKindFromTheActionLog) {
  revisedReport();
  const struct {
    PageKind kind;
    int editOrder;
    bool emergency;
    Signatures expected;
  } cases[] = {
      {PageKind::General, 1, false, {"A/C", "B", "2024-03-06", "T1/T2", true, "D", "2024-03-07"}},
      {PageKind::General,
       1,
       true,
       {"A/C", "B", "2024-03-06 14:30", "T1/T2", true, "D", "2024-03-07"}},
      {PageKind::General, 0, false, {"A/C", "B", "2024-03-06", "T1/T2", false, "", ""}},
      {PageKind::General, 2, false, {"A/C", "B", "2024-03-06", "T1/T2", true, "E", "2024-03-08"}},
      {PageKind::General, 3, false, {"A/C", "B", "2024-03-06", "T1/T2", true, "", ""}},
      {PageKind::NuclearMedicine,
       1,
       false,
       {"A/C", "B", "2024-03-06 14:30", "", true, "D", "2024-03-07"}},
      {PageKind::Endoscopy, 1, true, {"C B A", "", "", "", true, "D", "2024-03-07"}},
      {PageKind::Endoscopy, 0, false, {"C B A", "", "", "", false, "", ""}},
  };
  for (const auto& c : cases) {
    const SignatureResult result = fill(c.kind, c.editOrder, c.emergency);
    EXPECT_EQ(result.outcome, Outcome::Finished) << int(c.kind) << " " << c.editOrder;
    EXPECT_EQ(result.fields, c.expected) << int(c.kind) << " " << c.editOrder;
  }
}

TEST_F(FillSignaturesTest, OtherActionsCountOnlyOnTheEndoscopyPageAndNamesRepeat) {
  action("2", "B", "2024-03-05");
  action("2", "B", "2024-03-05");
  action("3", "C", "2024-03-05");
  EXPECT_EQ(fill(PageKind::General, 0).fields, (Signatures{"", "B/B", "", "", false, "", ""}));
  EXPECT_EQ(fill(PageKind::NuclearMedicine, 0).fields,
            (Signatures{"", "B/B", "", "", false, "", ""}));
  EXPECT_EQ(fill(PageKind::Endoscopy, 0).fields.reportPhysicians, "C B B");
}

TEST_F(FillSignaturesTest, AnActionTimeThatIsNoTimeOfDayFailsOnlyWhereTheTimeIsShown) {
  for (const std::string& time :
       {std::string("1430"), std::string("250000"), std::string("14:30"), std::string(""), kNull}) {
    fx->execute("delete from RIS_ReportAction");
    action("1", "A", "2024-03-05", time);
    EXPECT_EQ(fill(PageKind::General, 0, false).outcome, Outcome::Finished) << time;
    EXPECT_EQ(fill(PageKind::General, 0, true).outcome, Outcome::Failed) << time;
    EXPECT_EQ(fill(PageKind::NuclearMedicine, 0).outcome, Outcome::Failed) << time;
    EXPECT_EQ(fill(PageKind::Endoscopy, 0).outcome, Outcome::Finished) << time;
  }
}

TEST_F(FillSignaturesTest, ActionQueryThatCannotOpenStopsOrFailsThePage) {
  revisedReport();
  fx->execute("drop table UserInfo");
  for (PageKind kind : {PageKind::General, PageKind::NuclearMedicine}) {
    const SignatureResult result = fill(kind);
    EXPECT_EQ(result.outcome, Outcome::Stopped) << int(kind);
    EXPECT_EQ(result.fields, Signatures{}) << int(kind);
  }
  EXPECT_EQ(fill(PageKind::Endoscopy).outcome, Outcome::Failed);
}

TEST_F(FillSignaturesTest, TechnicianQueryThatCannotOpenStopsTheGeneralPageOnly) {
  revisedReport();
  fx->execute("drop table TechList");
  const SignatureResult general = fill(PageKind::General);
  EXPECT_EQ(general.outcome, Outcome::Stopped);
  EXPECT_EQ(general.fields, (Signatures{"A/C", "B", "2024-03-06", "", false, "", ""}));
  EXPECT_EQ(fill(PageKind::NuclearMedicine).outcome, Outcome::Finished);
  EXPECT_EQ(fill(PageKind::Endoscopy).outcome, Outcome::Finished);
}

TEST_F(FillSignaturesTest, RevisionQueryThatCannotOpenStopsWithTheRevisionLabelsShown) {
  // Without ActionNum only the revision lookup fails.
  fx->execute("drop table RIS_ReportAction");
  fx->execute(
      "create table RIS_ReportAction (RequisitionID varchar(32), ActionName integer, "
      "ActionDate varchar(16), ActionTime varchar(8), UserID varchar(16))");
  fx->execute("insert into RIS_ReportAction values ('R1', 1, '2024-03-05', '143000', 'uA')");
  const struct {
    PageKind kind;
    Signatures expected;
  } cases[] = {
      {PageKind::General, {"A", "", "2024-03-05", "", true, "", ""}},
      {PageKind::NuclearMedicine, {"A", "", "2024-03-05 14:30", "", true, "", ""}},
      {PageKind::Endoscopy, {"A", "", "", "", true, "", ""}},
  };
  for (const auto& c : cases) {
    const SignatureResult result = fill(c.kind, 1);
    EXPECT_EQ(result.outcome, Outcome::Stopped) << int(c.kind);
    EXPECT_EQ(result.fields, c.expected) << int(c.kind);
    EXPECT_EQ(fill(c.kind, 0).outcome, Outcome::Finished) << int(c.kind);
  }
}

TEST_F(FillSignaturesTest, AMissingColumnFailsThePage) {
  fx->execute("drop table TechList");
  fx->execute("create table TechList (RequisitionID varchar(32), Technician varchar(32))");
  fx->execute("insert into TechList values ('R1', 'T1')");
  EXPECT_EQ(fill(PageKind::General).outcome, Outcome::Failed);
}

}  // namespace
}  // namespace risview::content
