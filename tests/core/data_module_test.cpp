#include "data/data_module.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "schema_sql.h"
#include "support/doubles.h"
#include "support/fixture.h"

namespace risview::data {
namespace {

using testing::Backend;
using testing::FakeServices;
using testing::Fixture;
using testing::RecordedBox;
using testing::Schema;

constexpr const char* kOptionPath = "C:\\work\\RisOption.ini";

std::string section(const char* name, const Fixture& fx) {
  return std::string("[") + name + "]\r\nSERVER=" + fx.server() +
         "\r\nDataBaseName=" + fx.database() + "\r\nUSER=" + fx.user() +
         "\r\nPASSWORD=" + fx.password() + "\r\nDriver=" + fx.driver() + "\r\n";
}

TEST(DataModule, NoOptionFileReportsAllThreeConnectionsInOrder) {
  FakeServices fake;
  TdmRIS dm(fake.services());
  const std::string empty =
      "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=;"
      "Initial Catalog=;Data Source=;";
  EXPECT_EQ(fake.boxes.shown, (std::vector<RecordedBox>{{"RIS连接失败！", "Risview", 0, 0},
                                                        {"NORVSERVER连接失败！", "Risview", 0, 0},
                                                        {"WEBSERVER连接失败！", "Risview", 0, 0}}));
  EXPECT_EQ(fake.debug.lines, (std::vector<std::string>{"RIS连接开始", empty, "NORVSERVER连接开始",
                                                        empty, "WEBSERVER连接开始", empty}));
  // Opened at once, in one wait, however the reports are ordered.
  EXPECT_EQ(fake.waits.waits, std::vector<size_t>{3});
  EXPECT_FALSE(dm.con.connected());
  EXPECT_FALSE(dm.conRisDicom.connected());
  EXPECT_FALSE(dm.conDICOM.connected());
  EXPECT_EQ(dm.FWebURL, "");
}

TEST(DataModule, OnlyTheRadiologySectionFilled) {
  Fixture ris(Backend::Sqlite, Schema::Ris);
  FakeServices fake;
  fake.env.files[kOptionPath] = section("RISDATASET", ris);
  TdmRIS dm(fake.services());
  EXPECT_EQ(fake.boxes.shown, (std::vector<RecordedBox>{{"WEBSERVER连接失败！", "Risview", 0, 0}}));
  EXPECT_TRUE(dm.con.connected());
  EXPECT_TRUE(dm.conRisDicom.connected());
  EXPECT_FALSE(dm.conDICOM.connected());
  ASSERT_EQ(fake.debug.lines.size(), 6u);
  EXPECT_EQ(fake.debug.lines[0], "RIS连接开始");
  EXPECT_EQ(fake.debug.lines[1], "RIS成功连接");
  EXPECT_EQ(fake.debug.lines[3], "NORVSERVER成功连接");
  EXPECT_EQ(fake.debug.lines[4], "WEBSERVER连接开始");
  // The radiology connection is the one the list query runs on.
  dm.qryShowDeatil.setSql("select count(*) as n from RIS_REQUEST");
  dm.qryShowDeatil.open();
  EXPECT_EQ(dm.qryShowDeatil.field("n").asInteger(), 0);
}

TEST(DataModule, KeysInOtherLetterCaseAndGbkValuesAreRead) {
  Fixture ris(Backend::Sqlite, Schema::Ris);
  Fixture archive(Backend::Sqlite, Schema::Archive);
  FakeServices fake;
  std::string text = section("risdataset", ris);
  text.replace(text.find("SERVER="), 6, "server");
  text += section("DICOMDATASET", archive);
  text += "[DicomWebUrl]\r\nweburl=http://pacs/viewer?uids=\r\nUser=放射科\r\nPassword=\"p w\"\r\n";
  text += "[preview]\r\nprint = 1\r\n";
  fake.env.files[kOptionPath] = utf8ToCp936(text);
  TdmRIS dm(fake.services());
  EXPECT_TRUE(dm.PreviewPrint);
  EXPECT_TRUE(fake.boxes.shown.empty());
  EXPECT_TRUE(dm.con.connected());
  EXPECT_TRUE(dm.conDICOM.connected());
  EXPECT_EQ(dm.FWebURL, "http://pacs/viewer?uids=");
  EXPECT_EQ(dm.FWebUser, "放射科");
  EXPECT_EQ(dm.FWebPassword, "p w");
}

// Printing is offered only for a key whose number is not zero; without the key, as before.
TEST(DataModule, PrintKeyCountsAsANumber) {
  const struct {
    const char* value;
    bool on;
  } cases[] = {{"1", true},  {"2", true},   {"-1", true}, {"01", true},   {"1 page", true},
               {"0", false}, {"00", false}, {"", false},  {"yes", false}, {"+0", false}};
  for (const auto& c : cases) EXPECT_EQ(switchedOn(c.value), c.on) << c.value;
  FakeServices fake;
  EXPECT_FALSE(TdmRIS(fake.services()).PreviewPrint);
}

// The release package's sample reads as its comments say: every value, printing off.
TEST(DataModule, TheSampleOptionFileReadsAsItSays) {
  FakeServices fake;
  fake.env.files["C:\\site\\RisOption.ini"] = kSampleOptions;
  const Options o = readOptions(fake.env, "C:\\site");
  EXPECT_EQ(o.risServer, "dbserver");
  EXPECT_EQ(o.risDatabase, "RIS");
  EXPECT_EQ(o.risDriver, "");
  EXPECT_EQ(o.dicomPassword, "secret");
  EXPECT_EQ(o.webUrl, "http://pacs/viewer/index.html?studyUID=");
  EXPECT_FALSE(switchedOn(o.previewPrint));
}

TEST(DataModule, ThePasswordNeverReachesTheDebuggerOutput) {
  FakeServices fake;
  fake.env.files[kOptionPath] =
      "[RISDATASET]\nSERVER=127.0.0.1,1\nDataBaseName=RIS\nUSER=sa\nPASSWORD=Secret;1\n";
  TdmRIS dm(fake.services());
  ASSERT_GE(fake.debug.lines.size(), 2u);
  EXPECT_EQ(fake.debug.lines[1],
            "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=sa;"
            "Initial Catalog=RIS;Data Source=127.0.0.1,1;");
  for (const auto& line : fake.debug.lines) EXPECT_EQ(line.find("Secret"), std::string::npos);
}

TEST(DataModule, SecurityKeysShapeTheStringsAndRefuseClearText) {
  Fixture ris(Backend::Sqlite, Schema::Ris);
  FakeServices fake;
  // A Windows login leaves USER and PASSWORD aside; the archive asks for encryption through
  // the classic driver, which cannot give it.
  fake.env.files[kOptionPath] = "[RISDATASET]\r\nSERVER=" + ris.server() +
                                "\r\nDataBaseName=" + ris.database() +
                                "\r\nDriver=" + ris.driver() +
                                "\r\nAuthentication=windows\r\n"
                                "[DICOMDATASET]\r\nSERVER=pacs\r\nUSER=u\r\nPASSWORD=Secret2\r\n"
                                "Encrypt=yes\r\n";
  TdmRIS dm(fake.services());
  EXPECT_TRUE(dm.con.connected());
  EXPECT_EQ(dm.con.connectionString(),
            "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
            "Catalog=" +
                ris.database() + ";Data Source=" + ris.server() + ";");
  EXPECT_EQ(fake.boxes.shown, (std::vector<RecordedBox>{{"WEBSERVER连接失败！", "Risview", 0, 0}}));
  ASSERT_EQ(fake.debug.lines.size(), 7u);
  EXPECT_NE(fake.debug.lines[5].find("\"SQL Server\" driver cannot encrypt"), std::string::npos);
  EXPECT_EQ(fake.debug.lines[6],
            "Provider=SQLOLEDB.1;Password=******;Persist Security Info=True;User ID=u;Initial "
            "Catalog=;Data Source=pacs;Encrypt=yes;");
  for (const auto& line : fake.debug.lines) EXPECT_EQ(line.find("Secret"), std::string::npos);
}

TEST(DataModule, ProtectedPasswordsAreReadHereOrRefusedWithoutABlobInSight) {
  Fixture ris(Backend::Sqlite, Schema::Ris);
  FakeServices fake;
  // "aGVyZTpjbGVhcnB3" is base64 of "here:clearpw", which this machine reads; the archive's
  // blob was made elsewhere.
  fake.env.files[kOptionPath] =
      "[RISDATASET]\r\nSERVER=" + ris.server() + "\r\nDataBaseName=" + ris.database() +
      "\r\nUSER=u\r\nPASSWORD=dpapi:aGVyZTpjbGVhcnB3\r\nDriver=" + ris.driver() +
      "\r\n[DICOMDATASET]\r\nSERVER=" + ris.server() +
      "\r\nUSER=u\r\n"
      "PASSWORD=DPAPI:ZWxzZXdoZXJl\r\nDriver=" +
      ris.driver() + "\r\n[DICOMWEBURL]\r\nPASSWORD=dpapi:aGVyZTp2aWV3\r\n";
  TdmRIS dm(fake.services());
  EXPECT_TRUE(dm.con.connected());
  EXPECT_NE(dm.con.connectionString().find("Password=clearpw;"), std::string::npos);
  EXPECT_EQ(dm.FWebPassword, "view");
  EXPECT_FALSE(dm.conDICOM.connected());
  EXPECT_EQ(fake.boxes.shown, (std::vector<RecordedBox>{{"WEBSERVER连接失败！", "Risview", 0, 0}}));
  ASSERT_EQ(fake.debug.lines.size(), 7u);
  EXPECT_EQ(fake.debug.lines[5],
            "[DICOMDATASET] PASSWORD: the protected password could not be read on this machine; "
            "not connected");
  for (const auto& line : fake.debug.lines) {
    EXPECT_EQ(line.find("ZWxzZXdoZXJl"), std::string::npos);
    EXPECT_EQ(line.find("clearpw"), std::string::npos);
  }
}

TEST(DataModule, BadOptionFilesEndInBoxesNotCrashes) {
  std::string garbage;
  for (int i = 0; i < 2000; ++i) garbage += static_cast<char>((i * 131) % 256);
  const std::string files[] = {
      garbage,
      "[RISDATASET]\nSERVER=" + std::string(100000, 'x') + "\n",
      "[RISDATASET]\nSERVER={;;}\nDataBaseName='\nUSER=\"\nPASSWORD=}{\n",
  };
  for (const auto& bytes : files) {
    FakeServices fake;
    fake.env.files[kOptionPath] = bytes;
    TdmRIS dm(fake.services());
    EXPECT_EQ(fake.boxes.shown.size(), 3u);
  }
}

}  // namespace
}  // namespace risview::data
