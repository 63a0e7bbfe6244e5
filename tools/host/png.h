// A PNG writer with no library behind it: 8-bit RGB, every row unfiltered, the image data
// in stored (uncompressed) deflate blocks. Larger than a compressed file, read by every viewer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace risview::host {

uint32_t crc32(std::string_view bytes, uint32_t crc = 0);
uint32_t adler32(std::string_view bytes);

// rgb holds width * height * 3 bytes, rows top to bottom. Returns the whole file.
std::string encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

}  // namespace risview::host
