// JPEG decoding as a page draws it, through the project's own error handling: a box of 1 to
// 256 pixels a side, stretched or at natural size. Each file is decoded or refused with
// PictureError; a decoded one fills every row it promised, at the size the box asks for.
#include <string>
#include <vector>

#include "fuzz/fuzz.h"
#include "pictures/jpeg_decoder.h"
#include "pictures/picture_info.h"
#include "platform/errors.h"

using risview::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  risview::fuzz::Input in(data, size);
  const int boxWidth = 1 + in.byte(), boxHeight = 1 + in.byte();
  const bool stretch = in.byte() & 1;
  const std::string_view bytes = in.rest();
  try {
    risview::pictures::JpegDecoder decoder(bytes, boxWidth, boxHeight, stretch);
    const risview::pictures::PictureInfo info = decoder.info();
    const int width = decoder.width(), height = decoder.height();
    check(info.width >= 1 && info.width <= risview::pictures::kMaxPictureSide && info.height >= 1 &&
              info.height <= risview::pictures::kMaxPictureSide,
          "a natural size within bounds", bytes);
    check(width >= 1 && width <= info.width && height >= 1 && height <= info.height,
          "decoding never enlarges", bytes);
    if (stretch) {
      check((width >= boxWidth && height >= boxHeight) ||
                (width == info.width && height == info.height),
            "a stretched picture covers its box or is whole", bytes);
    } else {
      check(width == info.width && height == std::min(boxHeight, info.height),
            "an unstretched picture is decoded down to the box's last row", bytes);
    }
    // Alpha 0 everywhere, so that a row the decoder left out shows.
    std::vector<uint8_t> pixels(size_t(width) * height * 4, 0);
    decoder.decodeInto(pixels.data(), std::ptrdiff_t{width} * 4);
    for (size_t i = 3; i < pixels.size(); i += 4) {
      check(pixels[i] == 255, "every pixel promised is written", bytes);
    }
    bool refusedAgain = false;
    try {
      decoder.decodeInto(pixels.data(), std::ptrdiff_t{width} * 4);
    } catch (const risview::PictureError&) {
      refusedAgain = true;
    }
    check(refusedAgain, "a second decoding is refused", bytes);
  } catch (const risview::PictureError&) {
  }
  return 0;
}
