#include "support/picture_files.h"

#include <cstdlib>

namespace risview::testing {

std::string encodeJpeg(int width, int height, J_COLOR_SPACE space, int quality,
                       const std::function<void(int x, int y, JSAMPLE* pixel)>& fill,
                       const std::vector<jpeg_scan_info>& scans) {
  jpeg_compress_struct c{};
  jpeg_error_mgr errors{};
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = width, c.image_height = height, c.in_color_space = space;
  c.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (!scans.empty()) c.scan_info = scans.data(), c.num_scans = int(scans.size());
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(size_t(width) * c.input_components);
  while (c.next_scanline < c.image_height) {
    const int y = int(c.next_scanline);
    for (int x = 0; x < width; ++x) fill(x, y, &row[size_t(x) * c.input_components]);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  std::free(out);
  jpeg_destroy_compress(&c);
  return bytes;
}

}  // namespace risview::testing
