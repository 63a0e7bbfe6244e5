#include "platform/file_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/doubles.h"

namespace risview {
namespace {

using testing::FakeEnvironment;
using testing::FixedClock;
using testing::RecordingDebug;

// A folder of its own in the system's temporary folder while the object lives.
struct TempFolder {
  TempFolder()
      : path(std::filesystem::temp_directory_path() /
             ("risview-log-" + std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
  std::filesystem::path path;
};

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(FileLog, WritesOneLinePerStepOnlyOnceStarted) {
  TempFolder folder;
  RecordingDebug debug;
  FixedClock clock({2024, 3, 5, 10, 42, 7, 31});
  FileLog log(debug, clock, [] { return 1234u; });
  log.step("before", 1, "not logged");
  log.start(folder.file("risview.log"));
  log.step("statement qryShowDeatil (RIS_REQUEST)", 12.345, "3 rows");
  log.step("box", 0, "two\nlines");
  log.start("");
  log.step("after", 1, "not logged");
  EXPECT_EQ(contents(folder.file("risview.log")),
            "2024-03-05 10:42:07.031 [1234] statement qryShowDeatil (RIS_REQUEST) 12.3 ms: "
            "3 rows\r\n"
            "2024-03-05 10:42:07.031 [1234] box 0.0 ms: two lines\r\n");
  EXPECT_TRUE(debug.lines.empty());
}

TEST(FileLog, MovesAFullFileAsideKeepingThree) {
  TempFolder folder;
  RecordingDebug debug;
  FixedClock clock;
  FileLog log(debug, clock, [] { return 1u; });
  const std::string path = folder.file("risview.log");
  log.start(path);
  const std::string what(1000, 'x');
  // Each line is about 1 KiB: five files' worth leaves the newest and three older ones.
  const size_t perFile = FileLog::kCapBytes / 1040;
  for (size_t i = 0; i < 5 * perFile; ++i) log.step(what, 0, std::to_string(i));
  ASSERT_TRUE(std::filesystem::exists(path));
  for (const char* suffix : {".1", ".2", ".3"}) {
    SCOPED_TRACE(suffix);
    ASSERT_TRUE(std::filesystem::exists(path + suffix));
    EXPECT_LE(std::filesystem::file_size(path + suffix), FileLog::kCapBytes);
    EXPECT_GT(std::filesystem::file_size(path + suffix), FileLog::kCapBytes - 2000);
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".4"));
  // The newest line is in the file itself.
  EXPECT_TRUE(contents(path).ends_with(": " + std::to_string(5 * perFile - 1) + "\r\n"));
}

TEST(FileLog, AnUnwritablePathIsSaidOnceAndTheCallGoesOn) {
  TempFolder folder;
  RecordingDebug debug;
  FixedClock clock;
  FileLog log(debug, clock, [] { return 1u; });
  // A folder where the file should be: no user's rights make it writable.
  const std::string path = folder.file("risview.log");
  std::filesystem::create_directories(path);
  log.start(path);
  log.step("option file", 1, "read");
  log.step("box", 1, "RIS连接失败！");
  EXPECT_EQ(debug.lines, std::vector<std::string>{"The diagnostic log " + path +
                                                  " cannot be written: this call is not logged"});
}

TEST(Environment, ExpandsVariablesAsWindowsDoes) {
  FakeEnvironment env;
  env.variables = {{"TEMP", "C:\\Users\\ris\\AppData\\Local\\Temp"}, {"X", ""}};
  const struct {
    const char *text, *expanded;
  } cases[] = {
      {"%TEMP%\\risview.log", "C:\\Users\\ris\\AppData\\Local\\Temp\\risview.log"},
      {"D:\\logs\\risview.log", "D:\\logs\\risview.log"},
      {"%UNSET%\\a%X%b", "%UNSET%\\ab"},  // an unset name stays as written
      {"100%\\%TEMP%", "100%\\C:\\Users\\ris\\AppData\\Local\\Temp"},
      {"%%", "%%"},
      {"a%TEMP", "a%TEMP"},
  };
  for (const auto& c : cases) EXPECT_EQ(expandVariables(c.text, env), c.expanded) << c.text;
}

}  // namespace
}  // namespace risview
