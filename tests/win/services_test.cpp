#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/errors.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace risview {
namespace {

TEST(Win32Services, EnvironmentReadsFilesAndKnowsTheProcess) {
  win::Win32Environment env;
  EXPECT_NE(env.executablePath().find("win_tests.exe"), std::string::npos);
  EXPECT_FALSE(env.currentDirectory().empty());
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"env", 0, path);
  std::ofstream(path, std::ios::binary) << std::string("a\0b", 3);
  EXPECT_EQ(env.readFile(win::narrow(path)), std::string("a\0b", 3));
  DeleteFileW(path);
  EXPECT_EQ(env.readFile(win::narrow(path)), std::nullopt);
}

TEST(Win32Services, TitleComesFromTheModuleName) {
  EXPECT_EQ(win::moduleTitle(), "win_tests");
}

TEST(Win32Services, ShortTimeRejectsImpossibleTimes) {
  win::Win32Locale locale;
  std::string t = locale.shortTime(14, 30, 0);
  EXPECT_NE(t.find("30"), std::string::npos) << t;
  EXPECT_THROW(locale.shortTime(25, 0, 0), ConversionError);
  EXPECT_THROW(locale.shortTime(12, 60, 0), ConversionError);
}

TEST(Win32Services, Cp936DoesNotDependOnTheAnsiCodePage) {
  EXPECT_EQ(cp936ToUtf8("\xBC\xEC\xB2\xE9"), "检查");
  EXPECT_EQ(utf8ToCp936("报告"), "\xB1\xA8\xB8\xE6");
}

}  // namespace
}  // namespace risview
