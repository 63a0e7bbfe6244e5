// What the picture readers share: a refusal, and a picture's size bounded before anything
// is allocated for its pixels. Private to this folder.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/picture_info.h"

namespace risview::pictures {

[[noreturn]] void refuse(const std::string& why);

// A picture's size once its header is read; refused when empty or beyond kMaxPictureSide.
// Sizes arrive as 64-bit values so that no header field can overflow on the way.
PictureInfo sized(PictureType type, int64_t width, int64_t height);

}  // namespace risview::pictures
