#include "host/png.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace risview::host {

namespace {

const std::array<uint32_t, 256>& crcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void putBigEndian(std::string& out, uint32_t value) {
  out += static_cast<char>(value >> 24);
  out += static_cast<char>(value >> 16);
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value);
}

void putChunk(std::string& out, std::string_view type, std::string_view data) {
  putBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type) + std::string(data);
  out += typed;
  putBigEndian(out, crc32(typed));
}

}  // namespace

uint32_t crc32(std::string_view bytes, uint32_t crc) {
  const auto& table = crcTable();
  crc = ~crc;
  for (char b : bytes) crc = table[(crc ^ static_cast<uint8_t>(b)) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32(std::string_view bytes) {
  uint32_t a = 1, b = 0;
  for (char c : bytes) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::string encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb) {
  if (width == 0 || height == 0 || rgb.size() != size_t{width} * height * 3) {
    throw std::invalid_argument("encodePng: the pixels do not match the size");
  }
  std::string raw;
  raw.reserve((size_t{width} * 3 + 1) * height);
  for (uint32_t y = 0; y < height; ++y) {
    raw += '\0';  // filter type None
    raw.append(reinterpret_cast<const char*>(rgb.data()) + size_t{y} * width * 3,
               size_t{width} * 3);
  }

  // zlib stream: header for deflate with a 32K window, stored blocks, Adler-32 of the raw data.
  std::string zlib = "\x78\x01";
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(raw.size() - pos, 65535);
    bool last = pos + n == raw.size();
    zlib += static_cast<char>(last ? 1 : 0);
    zlib += static_cast<char>(n & 0xFF);
    zlib += static_cast<char>(n >> 8);
    zlib += static_cast<char>(~n & 0xFF);
    zlib += static_cast<char>((~n >> 8) & 0xFF);
    zlib.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  putBigEndian(zlib, adler32(raw));

  std::string header;
  putBigEndian(header, width);
  putBigEndian(header, height);
  header += "\x08\x02";            // 8 bits per sample, truecolour
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

  std::string png = "\x89PNG\r\n\x1a\n";
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", zlib);
  putChunk(png, "IEND", "");
  return png;
}

}  // namespace risview::host
