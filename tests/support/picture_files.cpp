#include "support/picture_files.h"

#include <cstdlib>

namespace risview::testing {

std::string bmpFile(int width, int height, uint32_t headerSize, unsigned bits,
                    unsigned compression) {
  const size_t pixels = size_t((width * bits + 31) / 32 * 4) * std::abs(height);
  const size_t table = bits <= 8 ? (1u << bits) * (headerSize == 12 ? 3 : 4) : 0;
  const size_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
  const size_t offset = 14 + headerSize + masks + table;
  Bytes b;
  b.u16(0x4D42).u32(offset + pixels).u32(0).u32(offset).u32(headerSize);
  if (headerSize == 12) {
    b.u16(width).u16(height).u16(1).u16(bits);
  } else {
    b.u32(width).u32(height).u16(1).u16(bits).u32(compression).zeros(headerSize - 20);
  }
  return b.zeros(masks + table + pixels).s;
}

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
