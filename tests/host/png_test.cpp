#include "host/png.h"

#include <gtest/gtest.h>
#include <zlib.h>

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

// Reads the file back the way a viewer does: chunks with their CRCs, then the inflated rows.
struct Decoded {
  uint32_t width = 0, height = 0;
  std::string header;
  std::string raw;
  size_t idatSize = 0;
};

Decoded decode(const std::string& png) {
  Decoded d;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
  std::string idat;
  std::vector<std::string> kinds;
  for (size_t pos = 8; pos < png.size();) {
    uint32_t length = bigEndian(png, pos);
    std::string typed = png.substr(pos + 4, 4 + length);
    EXPECT_EQ(bigEndian(png, pos + 8 + length),
              crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size()))
        << typed.substr(0, 4);
    std::string kind = typed.substr(0, 4), body = typed.substr(4);
    if (kind == "IHDR") d.header = body;
    if (kind == "IDAT") idat += body;
    kinds.push_back(kind);
    pos += 12 + length;
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  d.width = bigEndian(d.header, 0);
  d.height = bigEndian(d.header, 4);
  d.idatSize = idat.size();
  // One byte more than the rows need: inflating must stop short of it.
  uLongf size = (uLongf{d.width} * 3 + 1) * d.height + 1;
  d.raw.resize(size);
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(d.raw.data()), &size,
                       reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
            Z_OK);
  d.raw.resize(size);
  return d;
}

TEST(Png, RowsComeBackUnfilteredThroughInflate) {
  struct Case {
    uint32_t width, height;
    bool noisy;
  } cases[] = {{1, 1, true}, {3, 2, true}, {200, 120, true}, {1032, 748, false}};
  for (const auto& c : cases) {
    std::vector<uint8_t> rgb(size_t{c.width} * c.height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
      rgb[i] = static_cast<uint8_t>(c.noisy ? i * 7 + i / 3 : (i / 3 % c.width) / 40 * 9);
    }
    std::string png = encodePng(c.width, c.height, rgb);
    Decoded d = decode(png);
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    EXPECT_EQ(d.header.substr(8), std::string("\x08\x02\0\0\0", 5));  // 8-bit RGB, plain
    ASSERT_EQ(d.raw.size(), (size_t{c.width} * 3 + 1) * c.height);
    for (uint32_t y = 0; y < c.height; ++y) {
      size_t row = y * (size_t{c.width} * 3 + 1);
      EXPECT_EQ(d.raw[row], '\0');
      EXPECT_EQ(0, std::memcmp(d.raw.data() + row + 1, rgb.data() + size_t{y} * c.width * 3,
                               size_t{c.width} * 3));
    }
    // A window's flat areas and repeated rows: a fraction of the pixels' size.
    if (!c.noisy) {
      EXPECT_LT(d.idatSize, rgb.size() / 20) << c.width << " x " << c.height;
    }
  }
  EXPECT_THROW(encodePng(2, 2, std::vector<uint8_t>(11)), std::invalid_argument);
  EXPECT_THROW(encodePng(0, 0, {}), std::invalid_argument);
}

TEST(Json, KeysKeepTheirOrderTextsStayUtf8AndBrokenBytesDoNotFailTheLine) {
  std::string line = JsonObject()
                         .add("cmd", "box")
                         .add("style", 16)
                         .add("ok", true)
                         .add("row", std::vector<std::string>{"检查\"a\\b\"\n\t\x01", ""})
                         .add("at", Json::array({3, -4}))
                         .str();
  EXPECT_EQ(line,
            "{\"cmd\":\"box\",\"style\":16,\"ok\":true,"
            "\"row\":[\"检查\\\"a\\\\b\\\"\\n\\t\\u0001\",\"\"],\"at\":[3,-4]}");
  // A byte that is not UTF-8 still gives a line, not an exception in the driver.
  EXPECT_EQ(JsonObject().add("error", "a\xff!").str(), "{\"error\":\"a\xEF\xBF\xBD!\"}");
}

}  // namespace
}  // namespace risview::host
