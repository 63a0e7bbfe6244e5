// JPEG pictures through libjpeg-turbo: their header read and bounded, their pixels decoded
// at the DCT scale nearest above the drawn size.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "pictures/picture_info.h"

namespace risview::pictures {

// Larger JPEG files are refused unread.
inline constexpr uint64_t kMaxJpegBytes = uint64_t{1} << 30;

// The natural size of a JPEG from its bytes up to its first scan; throws PictureError as
// readPictureInfo does.
PictureInfo jpegInfo(std::string_view bytes);

// The scale, in eighths (1 to 8), at which a JPEG of width x height is decoded to be drawn
// stretched into a box: the smallest whose output still covers the box, so that shrinking
// to the box never enlarges; 8 (the whole picture) when even that does not cover it.
int jpegScaleEighths(int width, int height, int boxWidth, int boxHeight);

// A JPEG decoded for drawing into a box of boxWidth x boxHeight. The header is read and
// bounded on construction; decodeInto then writes the pixels into memory the caller owns
// (a DIB section), so nothing is allocated for pixels before the size is known to be sane.
// A stretched picture is decoded at jpegScaleEighths; one shown at its natural size, cut
// off at the box, at full scale and only down to the box's last row. bytes must outlive
// the decoder. Corrupt data that the decoder can step over (a body cut short, damaged
// entropy codes) gives grey or smeared pixels, not an error; a progressive file of more
// than 500 scans, or needing more than 256 MiB of coefficients, is refused, and so is one
// whose decoded size would exceed kMaxPicturePixels.
class JpegDecoder {
 public:
  JpegDecoder(std::string_view bytes, int boxWidth, int boxHeight, bool stretch);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  PictureInfo info() const;  // the natural size
  // What decodeInto writes: the top `height` rows of the picture at the decode scale.
  int width() const;
  int height() const;
  // What the decoder holds besides the pixels it writes: a progressive file's coefficients
  // for the whole picture at any scale; a few rows for the others.
  int64_t workingBytes() const;

  // Writes height() rows of width() pixels, each 4 bytes (blue, green, red, 255), top row
  // first, rows `stride` bytes apart. Throws PictureError; call it once. abandon: once it
  // holds, the decode stops within a row and throws PictureError.
  void decodeInto(std::uint8_t* pixels, std::ptrdiff_t stride,
                  const std::atomic<bool>* abandon = nullptr);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace risview::pictures
