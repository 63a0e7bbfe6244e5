// The portable ini reader against the platform's own profile functions, on the cases
// where readers usually disagree: blanks, quotes, comments, odd headers, duplicates.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "data/ini_file.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace risview {
namespace {

std::wstring tempFile(const std::string& bytes) {
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"ini", 0, path);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(ProfileAgreement, PortableReaderReadsWhatThePlatformReads) {
  const std::string file =
      "; comment\r\n"
      "orphan=x\r\n"
      "[RISDATASET]\r\n"
      "  SERVER  =  db01  \r\n"
      "q1=\"quoted\"\r\n"
      "q2='single'\r\n"
      "q3=\"half\r\n"
      "q4=\"\"\r\n"
      "q5=\"a\" b \"c\"\r\n"
      "inline=value ;not a comment\r\n"
      ";SERVER=commented\r\n"
      "empty=\r\n"
      "bare\r\n"
      "dup=first\r\n"
      "dup=second\r\n"
      "tab\t=\tvalue\t\r\n"
      "[RISDATASET]\r\n"
      "late=second section\r\n"
      "[ spaced ]\r\n"
      "k=v\r\n"
      "[unclosed\r\n"
      "u=1\r\n"
      "[Other]\n"
      "SERVER=other\n";
  std::wstring path = tempFile(file);
  data::IniFile ini = data::IniFile::parse(file);
  const char* probes[][2] = {
      {"RISDATASET", "SERVER"}, {"risdataset", "server"}, {"RISDATASET", "q1"},
      {"RISDATASET", "q2"},     {"RISDATASET", "q3"},     {"RISDATASET", "q4"},
      {"RISDATASET", "q5"},     {"RISDATASET", "inline"}, {"RISDATASET", "empty"},
      {"RISDATASET", "bare"},   {"RISDATASET", "dup"},    {"RISDATASET", "tab"},
      {"RISDATASET", "late"},   {"RISDATASET", "orphan"}, {" spaced ", "k"},
      {"spaced", "k"},          {"unclosed", "u"},        {"Other", "SERVER"},
      {"Missing", "SERVER"},    {"RISDATASET", "missing"}};
  for (const auto& [section, key] : probes) {
    wchar_t buffer[2048] = L"";
    GetPrivateProfileStringW(win::widen(section).c_str(), win::widen(key).c_str(), L"", buffer,
                             2048, path.c_str());
    EXPECT_EQ(ini.read(section, key), win::narrow(buffer)) << section << "/" << key;
  }
  DeleteFileW(path.c_str());
}

TEST(ProfileAgreement, LongValuesAreCutAlike) {
  // The euro sign is one byte, 0x80, in code page 936 (and in the Western one the test
  // process may run under), where a Chinese character takes two.
  const std::string values[] = {std::string(3000, 'x'),
                                std::string(2000, 'x') + std::string(100, '\x80')};
  for (const auto& value : values) {
    std::string file = "[S]\r\nK=" + value + "\r\n";
    std::wstring path = tempFile(file);
    char buffer[2048] = "";
    GetPrivateProfileStringA("S", "K", "", buffer, 2048, win::narrow(path).c_str());
    EXPECT_EQ(data::IniFile::parse(file).read("S", "K"), cp936ToUtf8(buffer));
    DeleteFileW(path.c_str());
  }
}

}  // namespace
}  // namespace risview
