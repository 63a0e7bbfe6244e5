// The diagnostic log of a whole call: the list, one report with a missing picture, the viewer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "list/open_action.h"
#include "list/report_list.h"
#include "platform/file_log.h"
#include "preview/report_loading.h"
#include "support/report_fixture.h"

namespace risview {
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;
using testing::Schema;

TEST(CallLog, NamesEveryStepAndNothingOfThePatient) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("risview-call-" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(folder);
  struct Cleanup {
    std::filesystem::path path;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } cleanup{folder};

  // What must never reach the log: who the patient is, what the report says, the logins.
  const std::vector<std::string> personal = {
      "李四光",     "P778899",  "ZY556677", "右肺上叶磨玻璃结节", "考虑炎性病变", "胸腹联合",
      "1.2.840.77", "viewerpw", "sekret"};
  ReportFixture fx;
  fx.request({{"PATIENT_ID", "P778899"},
              {"PatientID", "P778899"},
              {"PTN_NAME", "李四光"},
              {"HospitalID", "ZY556677"},
              {"EaxmDesc", "胸腹联合"},
              {"ImageFinding", "右肺上叶磨玻璃结节"},
              {"Impression", "考虑炎性病变"}});
  fx.image(1, "D:\\pictures\\P778899\\chest1.jpg", 0, 0);  // in the table, not on disk
  Fixture archive(Backend::Sqlite, Schema::Archive);
  archive.insert("patient1", {{"ptn_id_id", "1"}, {"ptn_id", "P778899"}});
  archive.insert("study1",
                 {{"ptn_id_id", "1"}, {"accession_number", "R1"}, {"study_uid", "1.2.840.77"}});
  auto section = [](const char* name, const Fixture& db) {
    return std::string("[") + name + "]\nSERVER=" + db.server() +
           "\nDataBaseName=" + db.database() +
           "\nUSER=risreader\nPASSWORD=sekret\nDriver=" + db.driver() + "\n";
  };
  fx.services.env.files["C:\\work\\RisOption.ini"] =
      section("RISDATASET", fx.db) + section("DICOMDATASET", archive) +
      "[DICOMWEBURL]\nWEBURL=http://pacs/viewer?studyUID=\nUSER=viewer\nPASSWORD=viewerpw\n"
      "[LOG]\nFile=%TEMP%\\risview.log\n";
  fx.services.env.variables["TEMP"] = folder.string();

  FileLog log(fx.services.debug, fx.services.clock, [] { return 7u; });
  LoggedBoxes boxes(fx.services.boxes, log);
  Services services{boxes,
                    fx.services.debug,
                    fx.services.clock,
                    fx.services.locale,
                    fx.services.env,
                    "Risview",
                    &fx.services.viewer,
                    100,
                    &fx.services.waits,
                    &log};
  {
    LoggedStep call(services, "call");
    data::TdmRIS dm(services);
    list::ListContent content = list::fillList(dm, "", "ZY556677");
    ASSERT_EQ(content.rows.size(), 1u);
    EXPECT_TRUE(list::openStudies(dm, services, fx.services.viewer, content.patientID,
                                  content.rows[0].accessionNum, 0));
    pages::PageContext context{services, dm.con, fx.metrics, fx.pictures};
    preview::LoadedReport report = preview::LoadReport(content.rows[0].accessionNum, context);
    EXPECT_EQ(report.tabs.size(), 1u);
    boxes.show("RIS连接失败！", "Risview", mb::kOk);
    call.done("ended");
  }

  std::ifstream in(folder / "risview.log", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  // Each step in the order it ran, then the call as the last line.
  const char* steps[] = {
      "] option file ",
      "] connection con server=",
      "] connection conRisDicom server=",
      "] connection conDICOM server=",
      "] statement qryShowDeatil (RIS_REQUEST) ",
      "ms: 1 rows",
      "] statement qryDicom (study1) ",
      "] viewer launch ",
      "ms: 0 browser processes ended, shell result 42",
      "] statement report (RIS_PATIENT) ",
      "] picture chest1.jpg ",
      "ms: failed",
      "] page ",
      "ms: built: page 1, department 1",
      "] box ",
      "ms: RIS连接失败！ (answer 1)",
      "] call ",
  };
  size_t at = 0;
  for (const char* step : steps) {
    size_t found = text.str().find(step, at);
    EXPECT_NE(found, std::string::npos) << step << "\n" << text.str();
    if (found != std::string::npos) at = found;
  }
  for (const auto& value : personal) {
    EXPECT_EQ(text.str().find(value), std::string::npos) << value << "\n" << text.str();
  }
}

}  // namespace
}  // namespace risview
