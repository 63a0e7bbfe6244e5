// Stand-in until picture headers are read in full: bitmaps only. Removed with the picture
// loader.
#include <cstdint>

#include "platform/errors.h"
#include "platform/picture.h"

namespace risview {
PictureInfo Pictures::info(const std::string& path) const {
  auto bytes = env_.readFile(path);
  if (!bytes || bytes->size() < 26 || path.size() < 4 || path.substr(path.size() - 4) != ".bmp") {
    throw PictureError("Pictures are not loaded yet: " + path);
  }
  auto le = [&](size_t at) {
    return int32_t(uint8_t((*bytes)[at]) | uint8_t((*bytes)[at + 1]) << 8 |
                   uint8_t((*bytes)[at + 2]) << 16 | uint32_t(uint8_t((*bytes)[at + 3])) << 24);
  };
  return {PictureType::Bitmap, le(18), le(22)};
}
}  // namespace risview
namespace risview {
PictureType pictureTypeOf(std::string_view) {
  return PictureType::Bitmap;
}
}  // namespace risview
