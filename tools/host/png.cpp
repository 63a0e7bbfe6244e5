#include "host/png.h"

#include <zlib.h>

#include <limits>
#include <stdexcept>
#include <string_view>

namespace risview::host {

namespace {

void putBigEndian(std::string& out, uint32_t value) {
  out += static_cast<char>(value >> 24);
  out += static_cast<char>(value >> 16);
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value);
}

uint32_t crcOf(std::string_view bytes) {
  return static_cast<uint32_t>(::crc32(::crc32(0, nullptr, 0),
                                       reinterpret_cast<const Bytef*>(bytes.data()),
                                       static_cast<uInt>(bytes.size())));
}

void putChunk(std::string& out, std::string_view type, std::string_view data) {
  putBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type) + std::string(data);
  out += typed;
  putBigEndian(out, crcOf(typed));
}

// A zlib stream of the whole image at once.
std::string deflated(const std::string& raw) {
  // compress2 counts in uLong, which is 32 bits wide on Windows.
  if (raw.size() > std::numeric_limits<uLong>::max() / 2) {
    throw std::invalid_argument("encodePng: the image is too large");
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  int status = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                         reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                         Z_DEFAULT_COMPRESSION);
  if (status != Z_OK) {
    throw std::runtime_error("encodePng: zlib failed with " + std::to_string(status));
  }
  out.resize(size);
  return out;
}

}  // namespace

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

  std::string header;
  putBigEndian(header, width);
  putBigEndian(header, height);
  header += "\x08\x02";            // 8 bits per sample, truecolour
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

  std::string png = "\x89PNG\r\n\x1a\n";
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", deflated(raw));
  putChunk(png, "IEND", "");
  return png;
}

}  // namespace risview::host
