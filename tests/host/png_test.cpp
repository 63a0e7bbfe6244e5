#include "host/png.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/json.h"

namespace risview::host {
namespace {

uint32_t bigEndian(const std::string& s, size_t at) {
  return (uint32_t{static_cast<uint8_t>(s[at])} << 24) |
         (uint32_t{static_cast<uint8_t>(s[at + 1])} << 16) |
         (uint32_t{static_cast<uint8_t>(s[at + 2])} << 8) |
         uint32_t{static_cast<uint8_t>(s[at + 3])};
}

// Reads the file back the way a viewer does: chunks with their CRCs, then the zlib stream
// of stored blocks, then the rows.
struct Decoded {
  uint32_t width = 0, height = 0;
  std::string header;
  std::string raw;
  int blocks = 0;
};

Decoded decode(const std::string& png) {
  Decoded d;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
  std::string idat;
  std::vector<std::string> kinds;
  for (size_t pos = 8; pos < png.size();) {
    uint32_t length = bigEndian(png, pos);
    std::string kind = png.substr(pos + 4, 4);
    std::string body = png.substr(pos + 8, length);
    EXPECT_EQ(bigEndian(png, pos + 8 + length), crc32(kind + body)) << kind;
    if (kind == "IHDR") d.header = body;
    if (kind == "IDAT") idat += body;
    kinds.push_back(kind);
    pos += 12 + length;
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  d.width = bigEndian(d.header, 0);
  d.height = bigEndian(d.header, 4);
  EXPECT_EQ((static_cast<uint8_t>(idat[0]) * 256 + static_cast<uint8_t>(idat[1])) % 31, 0);
  size_t pos = 2;
  bool last = false;
  while (!last) {
    last = idat[pos] & 1;
    EXPECT_EQ(idat[pos] & 6, 0) << "not a stored block";
    size_t n = static_cast<uint8_t>(idat[pos + 1]) | (static_cast<uint8_t>(idat[pos + 2]) << 8);
    size_t complement =
        static_cast<uint8_t>(idat[pos + 3]) | (static_cast<uint8_t>(idat[pos + 4]) << 8);
    EXPECT_EQ(n ^ 0xFFFF, complement);
    d.raw += idat.substr(pos + 5, n);
    pos += 5 + n;
    ++d.blocks;
  }
  EXPECT_EQ(bigEndian(idat, pos), adler32(d.raw));
  EXPECT_EQ(pos + 4, idat.size());
  return d;
}

TEST(Png, ChecksumsMatchTheirStandardCheckValues) {
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32(""), 0u);
  EXPECT_EQ(adler32("Wikipedia"), 0x11E60398u);
  EXPECT_EQ(adler32(""), 1u);
}

TEST(Png, RowsComeBackUnfilteredInOneOrMoreStoredBlocks) {
  struct Case {
    uint32_t width, height;
    int blocks;
  } cases[] = {{1, 1, 1}, {3, 2, 1}, {200, 120, 2}};  // 200 x 120 needs 72120 bytes: two blocks
  for (const auto& c : cases) {
    std::vector<uint8_t> rgb(size_t{c.width} * c.height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 + i / 3);
    Decoded d = decode(encodePng(c.width, c.height, rgb));
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    EXPECT_EQ(d.header.substr(8), std::string("\x08\x02\0\0\0", 5));  // 8-bit RGB, plain
    EXPECT_EQ(d.blocks, c.blocks);
    ASSERT_EQ(d.raw.size(), (size_t{c.width} * 3 + 1) * c.height);
    for (uint32_t y = 0; y < c.height; ++y) {
      size_t row = y * (size_t{c.width} * 3 + 1);
      EXPECT_EQ(d.raw[row], '\0');
      EXPECT_EQ(0, std::memcmp(d.raw.data() + row + 1, rgb.data() + y * c.width * 3, c.width * 3));
    }
  }
  EXPECT_THROW(encodePng(2, 2, std::vector<uint8_t>(11)), std::invalid_argument);
  EXPECT_THROW(encodePng(0, 0, {}), std::invalid_argument);
}

TEST(Json, TextsStayUtf8AndControlCharactersAreEscaped) {
  EXPECT_EQ(jsonString("检查\"a\\b\"\n\t\x01"), "\"检查\\\"a\\\\b\\\"\\n\\t\\u0001\"");
  std::string line = JsonObject()
                         .add("cmd", "box")
                         .add("style", 16)
                         .add("ok", true)
                         .addRaw("row", jsonArray({jsonString("a"), jsonString("")}))
                         .str();
  EXPECT_EQ(line, "{\"cmd\":\"box\",\"style\":16,\"ok\":true,\"row\":[\"a\",\"\"]}");
}

}  // namespace
}  // namespace risview::host
