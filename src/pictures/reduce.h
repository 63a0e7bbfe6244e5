// Pixels reduced to a smaller size by area averaging, as halftone stretching does it: what
// a picture decoded larger than it is drawn goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace risview::pictures {

// Reduces pixels of 4 bytes (blue, green, red, unused) from sourceWidth x sourceHeight to
// width x height, no larger either way: each target pixel is the average of the source
// area behind it, a source pixel it covers in part weighted by the part, as halftone
// stretching does it. Rows lie `stride` bytes apart.
void reducePixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::ptrdiff_t sourceStride, std::uint8_t* target, int width, int height,
                  std::ptrdiff_t targetStride);
// The same from rows handed out one at a time, so that a large picture need never be held
// whole: rowAt(k) gives source row k (top row 0), valid until the next call. Rows are asked
// for in order, each once or, where two target rows share it, twice in a row.
void reducePixels(const std::function<const std::uint8_t*(int row)>& rowAt, int sourceWidth,
                  int sourceHeight, std::uint8_t* target, int width, int height,
                  std::ptrdiff_t targetStride);

}  // namespace risview::pictures
