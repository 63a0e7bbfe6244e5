// Picture files made in memory for the suites and benchmarks.
#pragma once

#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace risview::testing {

// Little-endian file bytes, written field by field.
struct Bytes {
  std::string s;
  Bytes& u8(unsigned v) { return s += static_cast<char>(v), *this; }
  Bytes& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8 & 0xFF); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& zeros(size_t n) { return s.append(n, '\0'), *this; }
  Bytes& text(std::string_view t) { return s.append(t), *this; }
  // A text followed by the zero byte that ends it.
  Bytes& part(std::string_view t) { return text(t).u8(0); }
};

// A BMP file with a header of the given size (12: the core header), zero pixels and, at 8
// bits or fewer, a zero colour table.
std::string bmpFile(int width, int height, uint32_t headerSize = 40, unsigned bits = 24,
                    unsigned compression = 0);

// A JPEG of the given size whose pixel (x, y) the function fills: as many samples as the
// colour space has components. Progressive scripts through scans.
std::string encodeJpeg(int width, int height, J_COLOR_SPACE space, int quality,
                       const std::function<void(int x, int y, JSAMPLE* pixel)>& fill,
                       const std::vector<jpeg_scan_info>& scans = {});

}  // namespace risview::testing
