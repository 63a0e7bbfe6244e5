#include "platform/protected_text.h"

#include <gtest/gtest.h>

#include "support/doubles.h"

namespace risview {
namespace {

TEST(ProtectedText, Base64BothWays) {
  const struct {
    std::string bytes, text;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {std::string("\x00\xff\xfe\x80", 4), "AP/+gA=="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(base64Encode(c.bytes), c.text);
    EXPECT_EQ(base64Decode(c.text), c.bytes) << c.text;
  }
  EXPECT_EQ(base64Decode("Zm9v\r\nZg=="), "foof");  // a wrapped line
  EXPECT_EQ(base64Decode(" Zm9v\r\n"), "foo");
  // Zg==Zg: nothing follows the padding.
  for (const char* bad : {"Z", "Zm9v!", "Zg==Zg", "Zm9vZ==="}) {
    EXPECT_EQ(base64Decode(bad), std::nullopt) << bad;
  }
}

TEST(ProtectedText, OnlyPrefixedValuesAreRead) {
  testing::FakeSecrets secrets;
  const struct {
    const char* value;
    std::optional<std::string> password;
  } cases[] = {
      {"plain;pw", "plain;pw"},  // as today, untouched
      {"", ""},
      {"dpapi:aGVyZTpzM2NyZXQ=", "s3cret"},
      {" DPAPI:aGVyZTpzM2NyZXQ= ", "s3cret"},
      {"dpapi:ZWxzZXdoZXJl", std::nullopt},  // "elsewhere": another machine's blob
      {"dpapi:not base64!", std::nullopt},
      {"dpapi:", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(revealPassword(c.value, &secrets), c.password) << c.value;
  EXPECT_EQ(revealPassword("dpapi:aGVyZTpzM2NyZXQ=", nullptr), std::nullopt);
}

}  // namespace
}  // namespace risview
