// A PNG writer for screenshots: 8-bit RGB, the image data deflated by zlib. Rows stay
// unfiltered: the scenario checker reads them as pixels, and the Up filter would save at
// most a third more on a preview and nothing on the report list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace risview::host {

// rgb holds width * height * 3 bytes, rows top to bottom. Returns the whole file.
std::string encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

}  // namespace risview::host
