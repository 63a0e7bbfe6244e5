#include "pictures/reduce.h"

#include <cstdint>
#include <vector>

namespace risview::pictures {

namespace {

// The source pixels behind one target pixel, along one direction, in units of 1/targets of a
// source pixel: target pixel i spans [i * sources, (i + 1) * sources), source pixel k spans
// [k * targets, (k + 1) * targets). The first and last may be covered in part; those between
// count `targets` each, and all weights add up to `sources`. No product exceeds 2^28.
struct Span {
  uint32_t first, last, firstWeight, lastWeight;
};

std::vector<Span> spans(uint32_t sources, uint32_t targets) {
  std::vector<Span> result(targets);
  for (uint32_t i = 0; i < targets; ++i) {
    const uint32_t begin = i * sources, end = begin + sources;
    Span& s = result[i];
    s.first = begin / targets, s.last = (end - 1) / targets;
    s.firstWeight = s.first == s.last ? sources : (s.first + 1) * targets - begin;
    s.lastWeight = end - s.last * targets;
  }
  return result;
}

}  // namespace

void reducePixels(const uint8_t* source, int sourceWidth, int sourceHeight,
                  std::ptrdiff_t sourceStride, uint8_t* target, int width, int height,
                  std::ptrdiff_t targetStride) {
  reducePixels([&](int row) { return source + std::ptrdiff_t{row} * sourceStride; }, sourceWidth,
               sourceHeight, target, width, height, targetStride);
}

void reducePixels(const std::function<const uint8_t*(int row)>& rowAt, int sourceWidth,
                  int sourceHeight, uint8_t* target, int width, int height,
                  std::ptrdiff_t targetStride) {
  const auto sw = static_cast<uint32_t>(sourceWidth), sh = static_cast<uint32_t>(sourceHeight);
  const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  const std::vector<Span> columns = spans(sw, w), rows = spans(sh, h);
  // One target row's source rows summed by weight first: at most 255 x sourceHeight each.
  std::vector<uint32_t> rowSums(size_t{sw} * 4);
  const uint64_t area = uint64_t{sw} * sh;
  for (uint32_t y = 0; y < h; ++y) {
    const Span& r = rows[y];
    for (uint32_t k = r.first; k <= r.last; ++k) {
      const uint32_t weight = k == r.first ? r.firstWeight : k == r.last ? r.lastWeight : h;
      const uint8_t* row = rowAt(static_cast<int>(k));
      if (k == r.first) {
        for (size_t i = 0; i < rowSums.size(); ++i) rowSums[i] = row[i] * weight;
      } else {
        for (size_t i = 0; i < rowSums.size(); ++i) rowSums[i] += row[i] * weight;
      }
    }
    uint8_t* out = target + static_cast<std::ptrdiff_t>(y) * targetStride;
    for (uint32_t x = 0; x < w; ++x) {
      const Span& c = columns[x];
      uint64_t sums[4] = {};
      for (uint32_t k = c.first; k <= c.last; ++k) {
        const uint32_t weight = k == c.first ? c.firstWeight : k == c.last ? c.lastWeight : w;
        for (int ch = 0; ch < 4; ++ch) sums[ch] += uint64_t{rowSums[k * 4 + ch]} * weight;
      }
      for (int ch = 0; ch < 4; ++ch) {
        out[x * 4 + ch] = static_cast<uint8_t>((sums[ch] + area / 2) / area);
      }
    }
  }
}

}  // namespace risview::pictures
