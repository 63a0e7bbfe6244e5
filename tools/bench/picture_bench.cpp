// What a report page waits on for its pictures: reading a JPEG's size from its header,
// decoding a camera-sized JPEG at full scale against at 1/8 (what a 220-pixel cell needs),
// and reducing a 1024 x 768 bitmap's pixels to a 220 x 165 cell.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <string>
#include <vector>

#include "pictures/jpeg_decoder.h"
#include "pictures/picture_info.h"
#include "pictures/reduce.h"
#include "support/picture_files.h"

namespace {

constexpr int kWidth = 3000, kHeight = 2400;

// A 3000 x 2400 photograph stand-in: smooth gradients with fine texture, so the entropy
// decoder has real work.
const std::string& photo() {
  static const std::string bytes =
      risview::testing::encodeJpeg(kWidth, kHeight, JCS_RGB, 90, [](int x, int y, JSAMPLE* p) {
        unsigned noise = (unsigned(x) * 7919u + unsigned(y) * 104729u) * 2654435761u >> 29;
        p[0] = JSAMPLE(x * 255 / kWidth + noise);
        p[1] = JSAMPLE(y * 255 / kHeight + noise);
        p[2] = JSAMPLE((x ^ y) + noise);
      });
  return bytes;
}

void JpegHeader(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        risview::pictures::readPictureInfo(risview::pictures::PictureType::Jpeg, photo()));
  }
}
BENCHMARK(JpegHeader)->Unit(benchmark::kMicrosecond);

// The argument is the scale in eighths; the box is the picture scaled by it.
void JpegDecode(benchmark::State& state) {
  const int eighths = static_cast<int>(state.range(0));
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  for (auto _ : state) {
    risview::pictures::JpegDecoder decoder(photo(), kWidth * eighths / 8, kHeight * eighths / 8,
                                           true);
    width = decoder.width(), height = decoder.height();
    pixels.resize(size_t(width) * height * 4);
    decoder.decodeInto(pixels.data(), std::ptrdiff_t{decoder.width()} * 4);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetLabel(std::to_string(photo().size() / 1024) + " KiB file to " + std::to_string(width) +
                 " x " + std::to_string(height));
}
BENCHMARK(JpegDecode)->Arg(8)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

void BitmapReduce(benchmark::State& state) {
  std::vector<uint8_t> source(size_t(1024) * 768 * 4), cell(size_t(220) * 165 * 4);
  for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i * 2654435761u >> 24);
  for (auto _ : state) {
    risview::pictures::reducePixels(source.data(), 1024, 768, std::ptrdiff_t{1024} * 4, cell.data(),
                                    220, 165, std::ptrdiff_t{220} * 4);
    benchmark::DoNotOptimize(cell.data());
  }
}
BENCHMARK(BitmapReduce)->Unit(benchmark::kMillisecond);

}  // namespace
