// Picture files made in memory for the suites and benchmarks.
#pragma once

#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <functional>
#include <string>
#include <vector>

namespace risview::testing {

// A JPEG of the given size whose pixel (x, y) the function fills: as many samples as the
// colour space has components. Progressive scripts through scans.
std::string encodeJpeg(int width, int height, J_COLOR_SPACE space, int quality,
                       const std::function<void(int x, int y, JSAMPLE* pixel)>& fill,
                       const std::vector<jpeg_scan_info>& scans = {});

}  // namespace risview::testing
