#include "list/open_action.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/errors.h"
#include "support/doubles.h"
#include "support/fixture.h"

namespace risview::list {
namespace {

using testing::Backend;
using testing::FakeServices;
using testing::Fixture;
using testing::RecordedBox;
using testing::RecordingViewer;
using testing::Schema;
using Calls = std::vector<std::string>;

// Debugger lines go into the viewer's call list, so that one list shows their order.
class DebugIntoCalls : public DebugOutput {
 public:
  explicit DebugIntoCalls(RecordingViewer& viewer) : viewer_(viewer) {}
  void write(std::string_view line) override {
    viewer_.calls.push_back("debug " + std::string(line));
  }

 private:
  RecordingViewer& viewer_;
};

// The expected calls, written the way the launch makes them.
class Expected {
 public:
  Expected& look() {
    calls_.push_back("find TViewerForm");
    return debug();
  }
  Expected& closeRound(bool answered = true) {
    calls_.push_back("close viewer 5000");
    if (!answered) debug();
    look();
    calls_.insert(calls_.end(), {"sleep 1000", "pump"});
    return *this;
  }
  Expected& closeRounds(int n, bool answered) {
    for (int i = 0; i < n; ++i) closeRound(answered);
    return then("debug TViewerForm窗口10次关闭请求后仍未关闭，继续打开");
  }
  Expected& snapshot() { return then("snapshot").then("session own"); }
  Expected& end(uint32_t id) {
    calls_.push_back("session " + std::to_string(id));
    calls_.push_back("open " + std::to_string(id));
    debug();
    calls_.push_back("terminate " + std::to_string(id) + " 0");
    debug();
    calls_.push_back("release " + std::to_string(id));
    return *this;
  }
  Expected& then(std::string call) {
    calls_.push_back(std::move(call));
    return *this;
  }
  Expected& debug() { return then("debug error " + std::to_string(++errors_)); }
  const Calls& calls() const { return calls_; }

 private:
  Calls calls_;
  int errors_ = 0;
};

TEST(OpenAction, StudyStatementAndViewerAddressAreExact) {
  EXPECT_EQ(studyStatement("P0006", "CT20240311020"),
            "select study1.study_uid from study1  left join patient1 on patient1.ptn_id_id = "
            "study1.ptn_id_id  where patient1.ptn_id = 'P0006' and accession_number = "
            "'CT20240311020'");
  EXPECT_EQ(studyStatement("O'Neil", " A1 "),
            "select study1.study_uid from study1  left join patient1 on patient1.ptn_id_id = "
            "study1.ptn_id_id  where patient1.ptn_id = 'O''Neil' and accession_number = ' A1 '");

  struct Case {
    const char *url, *studies, *user, *password, *address;
  } cases[] = {
      {"http://pacs/viewer?studyUID=", "1.2.3", "viewer", "secret",
       "http://pacs/viewer?studyUID=1.2.3&User=viewer&Password=secret"},
      {"http://pacs/viewer?studyUID=", "1.2.3,1.2.4", "viewer", "secret",
       "http://pacs/viewer?studyUID=1.2.3,1.2.4&User=viewer&Password=secret"},
      {"http://pacs/viewer?studyUID=", "1.2.3", "viewer", "",
       "http://pacs/viewer?studyUID=1.2.3&User=viewer&Password="},
      // Nothing is escaped: what the option file holds is what the viewer gets.
      {"HTTP://Pacs/v?s=", "1.2.3", "王 医生", "p&w%20",
       "HTTP://Pacs/v?s=1.2.3&User=王 医生&Password=p&w%20"},
      {"", "1.2.3", "", "", "1.2.3&User=&Password="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(viewerAddress(c.url, c.studies, c.user, c.password), c.address);
  }
}

TEST(OpenAction, LaunchClosesViewersEndsBrowsersThenOpensTheAddress) {
  const std::string shell = "shell open http://v?s=1.2.3&User=u&Password=p 0";
  using Sessions = std::map<uint32_t, std::optional<uint32_t>>;
  struct Case {
    const char* what;
    std::optional<int> refusals;
    std::optional<std::vector<ProcessEntry>> processes;
    std::set<uint32_t> unopenable;
    bool launched;
    Calls expected;
    bool hung = false;
    Sessions sessions = {};
    std::optional<uint32_t> ownSession = RecordingViewer::kOwnSession;
  } cases[] = {
      {"nothing to close",
       std::nullopt,
       std::vector<ProcessEntry>{},
       {},
       true,
       Expected().look().snapshot().then(shell).calls()},
      {"a viewer that closes at once",
       0,
       std::vector<ProcessEntry>{},
       {},
       true,
       Expected().look().closeRound().snapshot().then(shell).calls()},
      {"a viewer that refuses twice: one request a second until it gives in",
       2,
       std::vector<ProcessEntry>{},
       {},
       true,
       Expected().look().closeRound().closeRound().closeRound().snapshot().then(shell).calls()},
      {"a viewer that gives in at the last round",
       9,
       std::vector<ProcessEntry>{},
       {},
       true,
       [&] {
         Expected e;
         e.look();
         for (int i = 0; i < 10; ++i) e.closeRound();
         return e.snapshot().then(shell).calls();
       }()},
      // Unbounded, the launch would ask forever and the report would never open.
      {"a viewer that never gives in: ten rounds, then the launch goes on",
       1000,
       std::vector<ProcessEntry>{{7, "IEXPLORE.EXE"}},
       {},
       true,
       Expected().look().closeRounds(10, true).snapshot().end(7).then(shell).calls()},
      {"a viewer whose thread never answers: each timeout noted, ten rounds, then on",
       0,
       std::vector<ProcessEntry>{},
       {},
       true,
       Expected().look().closeRounds(10, false).snapshot().then(shell).calls(),
       true},
      {"only the name exactly as reported is the browser",
       std::nullopt,
       std::vector<ProcessEntry>{{4, "explorer.exe"},
                                 {7, "IEXPLORE.EXE"},
                                 {8, "iexplore.exe"},
                                 {9, "Iexplore.exe"},
                                 {10, "IEXPLORE.EXE "},
                                 {11, "IEXPLORE.EXE"}},
       {},
       true,
       Expected().look().snapshot().end(7).end(11).then(shell).calls()},
      {"a browser that cannot be opened is passed by",
       std::nullopt,
       std::vector<ProcessEntry>{{7, "IEXPLORE.EXE"}, {8, "IEXPLORE.EXE"}},
       {7},
       true,
       Expected()
           .look()
           .snapshot()
           .then("session 7")
           .then("open 7")
           .debug()
           .end(8)
           .then(shell)
           .calls()},
      // A terminal server runs many users' browsers; ending theirs would close their pages.
      {"browsers of other sessions, or of a session not told, are left alone",
       std::nullopt,
       std::vector<ProcessEntry>{{7, "IEXPLORE.EXE"}, {8, "IEXPLORE.EXE"}, {9, "IEXPLORE.EXE"}},
       {},
       true,
       Expected()
           .look()
           .snapshot()
           .then("session 7")
           .then("session 8")
           .debug()
           .end(9)
           .then(shell)
           .calls(),
       false,
       Sessions{{7, 2}, {8, std::nullopt}}},
      {"the own session not told: no browser is ended",
       std::nullopt,
       std::vector<ProcessEntry>{{7, "IEXPLORE.EXE"}},
       {},
       true,
       Expected().look().snapshot().debug().then(shell).calls(),
       false,
       {},
       std::nullopt},
      {"no snapshot: viewers closed, nothing opened",
       0,
       std::nullopt,
       {},
       false,
       Expected().look().closeRound().then("snapshot fails").calls()},
  };
  for (const auto& c : cases) {
    RecordingViewer viewer;
    viewer.viewerRefusals = c.refusals;
    viewer.viewerHung = c.hung;
    viewer.snapshot = c.processes;
    viewer.unopenable = c.unopenable;
    viewer.sessions = c.sessions;
    viewer.ownSession = c.ownSession;
    DebugIntoCalls debug(viewer);
    bool launched = false;
    EXPECT_NO_THROW(launched = launchViewer(viewer, debug, "http://v?s=1.2.3&User=u&Password=p"))
        << c.what;
    EXPECT_EQ(launched, c.launched) << c.what;
    EXPECT_EQ(viewer.calls, c.expected) << c.what;
  }
}

TEST(OpenAction, RowToOpenIsTheSelectionElseTheFirstOfAListWithRows) {
  Fixture fx(Backend::Sqlite, Schema::Ris);
  fx.insert("RIS_REQUEST", {{"RequisitionID", "R1"}});
  fx.insert("RIS_REQUEST", {{"RequisitionID", "R2"}});
  data::Query rows(fx.connection());
  rows.setSql("select RequisitionID from RIS_REQUEST");
  rows.open();
  data::Query none(fx.connection());
  none.setSql("select RequisitionID from RIS_REQUEST where 1 = 0");
  none.open();
  data::Query neverOpened(fx.connection());

  EXPECT_EQ(rowToOpen(1, rows), 1);
  EXPECT_EQ(rowToOpen(std::nullopt, rows), 0);
  EXPECT_EQ(rowToOpen(std::nullopt, none), std::nullopt);
  // The list's statement failed when it was filled: asking it for rows is the error the
  // user sees, unless a row is selected.
  EXPECT_THROW(rowToOpen(std::nullopt, neverOpened), DatabaseError);
  EXPECT_EQ(rowToOpen(0, neverOpened), 0);
}

class OpenStudiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    archive.insert("patient1", {{"ptn_id_id", "1"}, {"ptn_id", "P0006"}});
    archive.insert("patient1", {{"ptn_id_id", "2"}, {"ptn_id", "O'Neil"}});
    archive.insert("study1",
                   {{"ptn_id_id", "1"}, {"accession_number", "CT01"}, {"study_uid", "1.2.840.9"}});
    archive.insert("study1",
                   {{"ptn_id_id", "1"}, {"accession_number", "CT01"}, {"study_uid", "1.2.840.10"}});
    archive.insert("study1",
                   {{"ptn_id_id", "1"}, {"accession_number", "DR02"}, {"study_uid", "1.2.840.20"}});
    archive.insert("study1",
                   {{"ptn_id_id", "2"}, {"accession_number", "X'1"}, {"study_uid", "1.2.840.30"}});
  }
  // The data module of an option file with the archive and the viewer sections.
  std::unique_ptr<data::TdmRIS> dataModule(bool withArchive = true) {
    std::string ini =
        "[DICOMWEBURL]\nWEBURL=http://pacs/viewer?studyUID=\nUSER=viewer\n"
        "PASSWORD=secret\n";
    if (withArchive) {
      ini += "[DICOMDATASET]\nSERVER=" + archive.server() + "\nDataBaseName=" + archive.database() +
             "\nDriver=" + archive.driver() + "\n";
    }
    fake.env.files["C:\\work\\RisOption.ini"] = ini;
    auto dm = std::make_unique<data::TdmRIS>(fake.services());
    fake.boxes.shown.clear();
    fake.debug.lines.clear();
    return dm;
  }
  bool open(data::TdmRIS& dm, const char* patient, const char* accession) {
    return openStudies(dm, fake.services(), fake.viewer, patient, accession, 77);
  }
  Fixture archive{Backend::Sqlite, Schema::Archive};
  FakeServices fake;
};

TEST_F(OpenStudiesTest, StudiesOfThePatientAndAccessionNumberOpenTheViewer) {
  auto dm = dataModule();
  struct Case {
    const char *patient, *accession, *shell;
  } cases[] = {
      {"P0006", "CT01",
       "shell open http://pacs/viewer?studyUID=1.2.840.9,1.2.840.10&User=viewer"
       "&Password=secret 0"},
      {"P0006", "DR02",
       "shell open http://pacs/viewer?studyUID=1.2.840.20&User=viewer&Password=secret 0"},
      {"O'Neil", "X'1",
       "shell open http://pacs/viewer?studyUID=1.2.840.30&User=viewer&Password=secret 0"},
  };
  for (const auto& c : cases) {
    fake.viewer.calls.clear();
    EXPECT_TRUE(open(*dm, c.patient, c.accession)) << c.accession;
    ASSERT_FALSE(fake.viewer.calls.empty());
    EXPECT_EQ(fake.viewer.calls.back(), c.shell);
  }
  EXPECT_TRUE(fake.boxes.shown.empty());
}

TEST_F(OpenStudiesTest, WithoutAStudyNothingAtAllHappens) {
  auto dm = dataModule();
  for (auto [patient, accession] : {std::pair{"P0006", "MR09"}, {"P0007", "CT01"}, {"", ""}}) {
    EXPECT_FALSE(open(*dm, patient, accession)) << patient << "/" << accession;
  }
  EXPECT_TRUE(fake.viewer.calls.empty());
  EXPECT_TRUE(fake.debug.lines.empty());
  EXPECT_TRUE(fake.boxes.shown.empty());
}

TEST_F(OpenStudiesTest, ClosedArchiveConnectionIsAnnouncedThenTried) {
  const RecordedBox announced{"DICOM数据库连接失败!", "Risview", mb::kOk, 77};
  // Closed since creation but reachable now: the lookup reconnects and the viewer opens.
  auto dm = dataModule();
  dm->conDICOM.close();
  EXPECT_TRUE(open(*dm, "P0006", "DR02"));
  EXPECT_EQ(fake.boxes.shown, std::vector<RecordedBox>{announced});

  // Not configured at all: after the box, the lookup's own error.
  fake.boxes.shown.clear();
  fake.viewer.calls.clear();
  auto unreachable = dataModule(false);
  EXPECT_THROW(open(*unreachable, "P0006", "DR02"), DatabaseError);
  EXPECT_EQ(fake.boxes.shown, std::vector<RecordedBox>{announced});
  EXPECT_TRUE(fake.viewer.calls.empty());
}

// The lookup and the launch each wait off the host's thread; a window closed during the
// viewer's close rounds stops them at the next round, and nothing is handed to the shell.
TEST_F(OpenStudiesTest, ARunEndedDuringTheCloseRoundsStopsThere) {
  auto dm = dataModule();
  fake.waits.waits.clear();
  fake.viewer.viewerRefusals = 1000;
  fake.viewer.onPump = [&] { fake.waits.endRun(); };
  EXPECT_THROW(open(*dm, "P0006", "DR02"), RunEnded);
  EXPECT_EQ(fake.waits.waits, (std::vector<size_t>{1, 1}));
  int requests = 0;
  for (const auto& call : fake.viewer.calls) {
    EXPECT_EQ(call.rfind("shell", 0), std::string::npos) << call;
    if (call.rfind("close", 0) == 0) ++requests;
  }
  EXPECT_EQ(requests, 1);
}

}  // namespace
}  // namespace risview::list
