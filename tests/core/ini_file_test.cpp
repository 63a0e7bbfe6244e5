#include "data/ini_file.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace risview::data {
namespace {

TEST(IniFile, ReadsLikeTheProfileFunctions) {
  IniFile ini = IniFile::parse(
      "; a comment line\r\n"
      "orphan=before any section\r\n"
      "[risdataset]\r\n"
      "  server  =  db01  \r\n"
      "DataBaseName=\"quoted\"\r\n"
      "USER='single'\r\n"
      "PASSWORD=\"half\r\n"
      "inline=value ;not a comment\r\n"
      ";SERVER=commented\r\n"
      "empty=\r\n"
      "bare\r\n"
      "dup=first\r\n"
      "dup=second\r\n"
      "[RISDATASET]\r\n"
      "late=only in the second section of the name\r\n"
      "[Other]\n"
      "SERVER=other\n");
  struct Case {
    const char *section, *key;
    std::optional<std::string> value;
  } cases[] = {
      {"RISDATASET", "SERVER", "db01"},
      {" RisDataSet ", "Server", "db01"},
      {"RISDATASET", "DataBaseName", "quoted"},
      {"RISDATASET", "USER", "single"},
      {"RISDATASET", "PASSWORD", "\"half"},
      {"RISDATASET", "inline", "value ;not a comment"},
      {"RISDATASET", "empty", ""},
      {"RISDATASET", "bare", ""},
      {"RISDATASET", "dup", "first"},
      {"RISDATASET", "late", std::nullopt},
      {"RISDATASET", "orphan", std::nullopt},
      {"Other", "SERVER", "other"},
      {"Missing", "SERVER", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.find(c.section, c.key), c.value) << c.section << "/" << c.key;
  }
}

TEST(IniFile, DecodesGbkUnlessMarkedOtherwise) {
  std::string gbk = utf8ToCp936("[DICOMWEBURL]\nUSER=张医生\n");
  EXPECT_EQ(IniFile::parse(gbk).read("DICOMWEBURL", "USER"), "张医生");
  EXPECT_EQ(IniFile::parse("\xEF\xBB\xBF[S]\nK=张\n").read("S", "K"), "张");
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : utf8ToUtf16("[S]\r\nK=王\r\n")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  EXPECT_EQ(IniFile::parse(utf16).read("S", "K"), "王");
}

TEST(IniFile, ValuesStopAt2047Bytes) {
  std::string longAscii(5000, 'x');
  EXPECT_EQ(IniFile::parse("[S]\nK=" + longAscii).read("S", "K").size(), 2047u);
  // 2047 is odd: the 1024th two-byte character would end past it and is dropped whole.
  std::string chinese;
  for (int i = 0; i < 1100; ++i) chinese += "中";
  EXPECT_EQ(IniFile::parse("\xEF\xBB\xBF[S]\nK=" + chinese).read("S", "K").size(), 1023u * 3);
  // The euro sign is one byte (0x80) in code page 936; counting it as two cut values early.
  std::string euros = std::string(2000, 'x') + std::string(100, '\x80');
  std::string expected = std::string(2000, 'x');
  for (int i = 0; i < 47; ++i) expected += "€";
  EXPECT_EQ(IniFile::parse("[S]\nK=" + euros).read("S", "K"), expected);
}

TEST(IniFile, GarbageIsNeverFatal) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
  IniFile ini = IniFile::parse(garbage + "\n[S]\nK=v\n[");
  EXPECT_EQ(ini.read("S", "K"), "v");
  EXPECT_EQ(IniFile::parse("").find("S", "K"), std::nullopt);
  EXPECT_EQ(IniFile::parse("[unclosed\nK=v").find("unclosed", "K"), std::nullopt);
}

}  // namespace
}  // namespace risview::data
