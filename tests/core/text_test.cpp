#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/services.h"

namespace risview {
namespace {

TEST(Text, Cp936RoundTripsChineseAndAscii) {
  const std::string gbk = "\xBC\xEC\xB2\xE9\xB1\xA8\xB8\xE6 A1";  // 检查报告 A1
  EXPECT_EQ(cp936ToUtf8(gbk), "检查报告 A1");
  EXPECT_EQ(utf8ToCp936("检查报告 A1"), gbk);
  EXPECT_EQ(cp936ToUtf8(""), "");
}

TEST(Text, BrokenInputNeverThrowsAndIsMarked) {
  // A lone lead byte at the end, and a character GBK cannot hold: each platform marks them
  // its own way, but the text around them survives.
  std::string decoded = cp936ToUtf8("A\xBC");
  EXPECT_EQ(decoded.substr(0, 1), "A");
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(decoded)), decoded);  // still valid UTF-8
  EXPECT_EQ(utf8ToCp936("a\xF0\x9F\x98\x80"
                        "b")
                .front(),
            'a');
  EXPECT_EQ(utf8ToCp936("a\xF0\x9F\x98\x80"
                        "b")
                .back(),
            'b');
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16("\xC3")), "\xEF\xBF\xBD");
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16("a😀中")), "a😀中");
}

TEST(Text, TrimDropsBlanksAndControlCharacters) {
  EXPECT_EQ(trim(" \t 45 \r\n"), "45");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim("中 文"), "中 文");
}

TEST(Text, ParseIntIsStrict) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {{"0", 0},
               {"  42", 42},
               {"-7", -7},
               {"+3", 3},
               {"2147483647", 2147483647},
               {"-2147483648", INT32_MIN},
               {"2147483648", {}},
               {"", {}},
               {" ", {}},
               {"42 ", {}},
               {"4a", {}},
               {"3-", {}},
               {"1.0", {}},
               {"-", {}}};
  for (const auto& c : cases) EXPECT_EQ(parseInt(c.text), c.value) << "'" << c.text << "'";
  EXPECT_THROW(toInt("x"), ConversionError);
}

TEST(Text, ApplicationTitleFromModuleFileName) {
  EXPECT_EQ(applicationTitleFromModulePath("C:\\Program Files\\His\\ABCView.DLL"), "Abcview");
  EXPECT_EQ(applicationTitleFromModulePath("risview.dll"), "risview");
  EXPECT_EQ(applicationTitleFromModulePath("D:/x.y/RIS.View.dll"), "Ris");
  EXPECT_EQ(applicationTitleFromModulePath("C:\\noext"), "noext");
}

}  // namespace
}  // namespace risview
