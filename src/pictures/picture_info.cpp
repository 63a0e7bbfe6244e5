#include "pictures/picture_info.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "pictures/bounds.h"
#include "pictures/jpeg_decoder.h"
#include "platform/errors.h"

namespace risview::pictures {

void refuse(const std::string& why) {
  throw PictureError(why);
}

PictureInfo sized(PictureType type, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) refuse("picture has no width or height");
  if (width > kMaxPictureSide || height > kMaxPictureSide) {
    refuse("picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than " + std::to_string(kMaxPictureSide) + " on a side");
  }
  return {type, static_cast<int>(width), static_cast<int>(height)};
}

namespace {

// Little-endian fields of a header, every read bounds-checked against the file's bytes.
class Header {
 public:
  Header(std::string_view bytes, const char* kind) : bytes_(bytes), kind_(kind) {}
  void need(size_t size) const {
    if (bytes_.size() < size) refuse(std::string(kind_) + " header is truncated");
  }
  uint32_t u8(size_t at) const { return byte(at); }
  uint32_t u16(size_t at) const { return byte(at) | byte(at + 1) << 8; }
  uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }
  int32_t i16(size_t at) const { return static_cast<int16_t>(u16(at)); }
  int32_t i32(size_t at) const { return static_cast<int32_t>(u32(at)); }
  size_t size() const { return bytes_.size(); }
  [[noreturn]] void invalid(const std::string& what) const {
    refuse(std::string(kind_) + " is not valid: " + what);
  }

 private:
  uint32_t byte(size_t at) const {
    need(at + 1);
    return static_cast<unsigned char>(bytes_[at]);
  }
  std::string_view bytes_;
  const char* kind_;
};

// A picture whose pixels are held whole: refused beyond kMaxPicturePixels before anything is
// allocated for them.
PictureInfo heldWhole(PictureType type, int64_t width, int64_t height) {
  const PictureInfo info = sized(type, width, height);
  if (width * height > kMaxPicturePixels) {
    refuse("picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than " + std::to_string(kMaxPicturePixels) + " pixels");
  }
  return info;
}

// The platform's MulDiv for the non-negative values met here: rounded to nearest.
int64_t mulDiv(int64_t value, int64_t numerator, int64_t denominator) {
  return (value * numerator + denominator / 2) / denominator;
}

// Metafile frames are kept in 0.01 mm and shown at 96 pixels per inch (25.4 mm).
constexpr int64_t kHundredthsMmPerInch = 2540;
constexpr int64_t kPixelsPerInch = 96;

struct Bitmap {
  PictureInfo info;
  BitmapParts parts;
};

// Everything the platform will read of a bitmap is checked to lie inside the file: the
// header, its colour masks and table, and the pixels (uncompressed rows, or the run-length
// data as long as the header says). Only the head of the file is read, the first
// kBitmapHeadBytes bytes of it (all of it when shorter); the rest is checked by its size.
Bitmap bitmapOf(std::string_view head, uint64_t fileSize) {
  Header h(head, "bitmap");
  h.need(18);
  if (h.u16(0) != 0x4D42) h.invalid("no \"BM\" signature");
  const uint32_t headerSize = h.u32(14);
  // Against the file, not the head: a header size too large to be known is still refused
  // as running past a file shorter than it.
  if (14 + uint64_t{headerSize} > fileSize) refuse("bitmap header is truncated");
  int64_t width = 0, height = 0, colours = 0, colourSize = 4, masks = 0, imageSize = 0;
  uint32_t planes = 0, bits = 0, compression = 0;
  bool topDown = false;
  if (headerSize == 12) {  // BITMAPCOREHEADER
    width = h.u16(18), height = h.u16(20), planes = h.u16(22), bits = h.u16(24);
    colours = bits <= 8 ? int64_t{1} << bits : 0, colourSize = 3;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124) {  // BITMAPINFOHEADER and its later extensions
    width = h.i32(18), height = h.i32(22), planes = h.u16(26), bits = h.u16(28);
    compression = h.u32(30), imageSize = h.u32(34);
    const int64_t used = h.u32(46);
    // The platform reads at most 256 colours, all 2^bits when none are counted.
    colours = used ? std::min<int64_t>(used, 256) : bits <= 8 ? int64_t{1} << bits : 0;
    if (compression == 3 && headerSize == 40) masks = 12;  // the masks follow the header
    topDown = height < 0;
    height = topDown ? -height : height;
  } else {
    h.invalid("unknown header size " + std::to_string(headerSize));
  }
  if (planes != 1) h.invalid("more than one plane");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    h.invalid(std::to_string(bits) + " bits per pixel");
  }
  const PictureInfo info = heldWhole(PictureType::Bitmap, width, height);
  int64_t pixelsSize = (width * bits + 31) / 32 * 4 * height;
  const bool runLength = (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
  if (runLength && !topDown && imageSize > 0) {
    pixelsSize = imageSize;
  } else if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32))) {
    h.invalid("compression " + std::to_string(compression) + " with " + std::to_string(bits) +
              " bits per pixel");
  }
  const int64_t headerPart = headerSize + masks + colours * colourSize;
  const int64_t pixels = h.u32(10);
  if (static_cast<uint64_t>(14 + headerPart) > fileSize) h.invalid("the colour table is cut off");
  if (static_cast<uint64_t>(pixels + pixelsSize) > fileSize) {
    h.invalid("the pixels end before the last row");
  }
  return {info,
          {14, static_cast<size_t>(headerPart), static_cast<size_t>(pixels),
           static_cast<size_t>(pixelsSize), static_cast<int>(bits), static_cast<int>(colours),
           runLength}};
}

// Run-length codes (pairs of bytes): a count and a colour repeated count times (two
// alternating colours of 4 bits each in 4-bit data), or 0 and an escape: 0 ends the row, 1
// ends the picture, 2 jumps right and up by the next two bytes, any other n is followed by
// n literal colours padded to a whole number of 16-bit words.
std::vector<uint8_t> expandRuns(std::string_view bytes, const Bitmap& bitmap, uint8_t skipped) {
  const size_t width = static_cast<size_t>(bitmap.info.width);
  const size_t height = static_cast<size_t>(bitmap.info.height);
  const size_t stride = (width + 3) / 4 * 4;
  std::vector<uint8_t> indices(stride * height, skipped);
  const auto* in = reinterpret_cast<const uint8_t*>(bytes.data()) + bitmap.parts.pixels;
  const size_t end = bitmap.parts.pixelsSize;
  const bool nibbles = bitmap.parts.bits == 4;
  // x stops at the row's end, so that no run, however long, wraps around or writes past it.
  size_t at = 0, x = 0, y = 0;
  auto put = [&](uint8_t index) {
    if (x < width) indices[y * stride + x++] = index;
  };
  while (y < height && at + 2 <= end) {
    const unsigned count = in[at], value = in[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) {
        put(static_cast<uint8_t>(!nibbles ? value : i % 2 ? value & 15 : value >> 4));
      }
    } else if (value == 0) {
      x = 0, ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (at + 2 > end) break;
      x = std::min(x + in[at], width), y += in[at + 1];
      at += 2;
    } else {
      const size_t literal = nibbles ? (value + 1) / 2 : value;
      if (at + literal > end) break;
      for (unsigned i = 0; i < value; ++i) {
        const unsigned byte = in[at + (nibbles ? i / 2 : i)];
        put(static_cast<uint8_t>(!nibbles ? byte : i % 2 ? byte & 15 : byte >> 4));
      }
      at += (literal + 1) / 2 * 2;
    }
  }
  return indices;
}

PictureInfo iconInfo(std::string_view bytes) {
  Header h(bytes, "icon");
  h.need(6);
  if (h.u16(0) != 0 || h.u16(2) != 1) h.invalid("not an icon directory");
  const uint32_t count = h.u16(4);
  if (count == 0) h.invalid("no images");
  const size_t directoryEnd = 6 + 16 * size_t{count};
  h.need(directoryEnd);
  // The first image is the one shown; a side of 0 in the directory stands for 256.
  const int64_t width = h.u8(6) == 0 ? 256 : h.u8(6);
  const int64_t height = h.u8(7) == 0 ? 256 : h.u8(7);
  const int64_t imageSize = h.u32(6 + 8), imageOffset = h.u32(6 + 12);
  if (imageSize == 0 || imageOffset < static_cast<int64_t>(directoryEnd) ||
      imageOffset + imageSize > static_cast<int64_t>(h.size())) {
    h.invalid("the first image lies outside the file");
  }
  // The platform builds the icon from the image's own header, not from the directory: its
  // size is bounded too, and all that header says follows it inside the image.
  const size_t at = static_cast<size_t>(imageOffset);
  if (h.u32(at) == 0x474E5089) {  // "\x89PNG", its IHDR chunk first, sizes big-endian
    if (imageSize < 24) h.invalid("the PNG image is cut off");
    auto big = [&](size_t field) {
      return int64_t{h.u8(field)} << 24 | h.u8(field + 1) << 16 | h.u8(field + 2) << 8 |
             h.u8(field + 3);
    };
    heldWhole(PictureType::Icon, big(at + 16), big(at + 20));
  } else if (h.u32(at) == 40) {
    const int64_t imageWidth = h.i32(at + 4), bothHeights = h.i32(at + 8);
    const uint32_t bits = h.u16(at + 14), used = h.u32(at + 32);
    if (h.u16(at + 12) != 1 || h.u32(at + 16) != 0 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
      h.invalid("an image of " + std::to_string(bits) + " bits per pixel");
    }
    // The height counts the colour rows and the mask rows below them.
    const int64_t imageHeight = bothHeights / 2;
    heldWhole(PictureType::Icon, imageWidth, imageHeight);
    const int64_t colours = bits <= 8 ? (used ? std::min<int64_t>(used, 256) : 1 << bits) : 0;
    const int64_t rows = (imageWidth * bits + 31) / 32 * 4, maskRows = (imageWidth + 31) / 32 * 4;
    if (40 + colours * 4 + (rows + maskRows) * imageHeight > imageSize) {
      h.invalid("the image's pixels or mask end before its last row");
    }
  } else {
    h.invalid("the first image is neither a bitmap nor a PNG");
  }
  return sized(PictureType::Icon, width, height);
}

PictureInfo metafileInfo(std::string_view bytes) {
  Header h(bytes, "metafile");
  h.need(22);
  // Only the placeable (Aldus) header says how large the drawing is; a bare Windows
  // metafile leaves that to whoever plays it, so it has no natural size to lay out.
  if (h.u32(0) != 0x9AC6CDD7) h.invalid("no placeable header, so no size");
  uint32_t checksum = 0;
  for (size_t at = 0; at < 20; at += 2) checksum ^= h.u16(at);
  if (checksum != h.u16(20)) h.invalid("placeable header checksum");
  h.need(22 + 18);
  if ((h.u16(22) != 1 && h.u16(22) != 2) || h.u16(24) != 9) h.invalid("no metafile header");
  // The platform plays records as far as the header's total size (in 16-bit words) says,
  // stepping by each record's own size: both are held inside the file.
  const int64_t end = 22 + int64_t{h.u32(22 + 6)} * 2;
  if (end < 22 + 18 || end > static_cast<int64_t>(h.size())) {
    h.invalid("the records end before the header says");
  }
  for (int64_t at = 22 + 18; at < end;) {
    const int64_t size = at + 6 <= end ? int64_t{h.u32(size_t(at))} * 2 : 0;
    if (size < 6 || at + size > end) h.invalid("a record runs past the end");
    if (h.u16(size_t(at) + 4) == 0) break;  // the end record
    at += size;
  }
  const int64_t width = std::abs(h.i16(10) - h.i16(6));
  const int64_t height = std::abs(h.i16(12) - h.i16(8));
  // Units per inch of the bounding box; a header that leaves it 0 is taken as pixels.
  const int64_t inch = h.u16(14) == 0 ? kPixelsPerInch : h.u16(14);
  // Through 0.01 mm, rounded at each step as the platform's picture does it.
  return sized(
      PictureType::Metafile,
      mulDiv(mulDiv(width, kHundredthsMmPerInch, inch), kPixelsPerInch, kHundredthsMmPerInch),
      mulDiv(mulDiv(height, kHundredthsMmPerInch, inch), kPixelsPerInch, kHundredthsMmPerInch));
}

PictureInfo enhancedMetafileInfo(std::string_view bytes) {
  Header h(bytes, "enhanced metafile");
  h.need(88);
  if (h.u32(0) != 1 || h.u32(40) != 0x464D4520) h.invalid("no EMF header record");
  if (h.u32(4) < 88 || h.u32(48) > h.size()) h.invalid("the records end before the file says");
  // Played record by record, each stepped over by its own size, as far as the header's
  // total: a record of no size would be played without end.
  const int64_t end = h.u32(48);
  for (int64_t at = 0; at < end;) {
    const int64_t size = at + 8 <= end ? int64_t{h.u32(size_t(at) + 4)} : 0;
    if (size < 8 || size % 4 != 0 || at + size > end) h.invalid("a record runs past the end");
    if (h.u32(size_t(at)) == 14) break;  // the end record
    at += size;
  }
  // The frame (0.01 mm) is the picture's intended size; the bounds (reference-device
  // pixels, inclusive) stand in when a writer left the frame empty.
  const int64_t frameWidth = int64_t{h.i32(32)} - h.i32(24);
  const int64_t frameHeight = int64_t{h.i32(36)} - h.i32(28);
  if (frameWidth > 0 && frameHeight > 0) {
    return sized(PictureType::EnhancedMetafile,
                 mulDiv(frameWidth, kPixelsPerInch, kHundredthsMmPerInch),
                 mulDiv(frameHeight, kPixelsPerInch, kHundredthsMmPerInch));
  }
  return sized(PictureType::EnhancedMetafile, int64_t{h.i32(16)} - h.i32(8) + 1,
               int64_t{h.i32(20)} - h.i32(12) + 1);
}

}  // namespace

PictureType pictureTypeOf(std::string_view path) {
  const size_t name = path.find_last_of("\\/:");
  const size_t dot = path.rfind('.');
  std::string extension;
  if (dot != std::string_view::npos && (name == std::string_view::npos || dot > name)) {
    for (char c : path.substr(dot + 1)) {
      extension += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  static constexpr std::pair<std::string_view, PictureType> kTypes[] = {
      {"bmp", PictureType::Bitmap},   {"ico", PictureType::Icon},
      {"wmf", PictureType::Metafile}, {"emf", PictureType::EnhancedMetafile},
      {"jpg", PictureType::Jpeg},     {"jpeg", PictureType::Jpeg},
  };
  for (const auto& [known, type] : kTypes) {
    if (extension == known) return type;
  }
  refuse("unknown picture file extension (." + extension + ")");
}

std::string playableEnhancedMetafile(std::string bytes) {
  const Header h(bytes, "enhanced metafile");
  h.need(88);
  const auto put = [&](size_t at, int64_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  // 96 pixels in 25.4 mm, also for a device larger than a kilometre, whose frame would not
  // be worked out in 64 bits.
  constexpr int32_t kMostMillimetres = 1000000;
  if (h.i32(72) <= 0 || h.i32(76) <= 0 || h.i32(80) <= 0 || h.i32(84) <= 0 ||
      h.i32(80) > kMostMillimetres || h.i32(84) > kMostMillimetres) {
    put(72, 960), put(76, 960), put(80, 254), put(84, 254);
  }
  if (h.i32(32) <= h.i32(24) || h.i32(36) <= h.i32(28)) {
    // The bounds are inclusive device pixels; the frame is in 0.01 mm of the same device.
    const auto hundredths = [&](int64_t pixels, size_t device, size_t mm) {
      return std::clamp<int64_t>(pixels * 100 * h.i32(mm) / h.i32(device), INT32_MIN, INT32_MAX);
    };
    put(24, hundredths(h.i32(8), 72, 80)), put(28, hundredths(h.i32(12), 76, 84));
    put(32, hundredths(int64_t{h.i32(16)} + 1, 72, 80));
    put(36, hundredths(int64_t{h.i32(20)} + 1, 76, 84));
  }
  return bytes;
}

PictureInfo readPictureInfo(PictureType type, std::string_view bytes) {
  switch (type) {
    case PictureType::Bitmap:
      return bitmapOf(bytes, bytes.size()).info;
    case PictureType::Icon:
      return iconInfo(bytes);
    case PictureType::Metafile:
      return metafileInfo(bytes);
    case PictureType::EnhancedMetafile:
      return enhancedMetafileInfo(bytes);
    case PictureType::Jpeg:
      return jpegInfo(bytes);
  }
  refuse("unknown picture type");
}

BitmapParts bitmapParts(std::string_view bytes) {
  return bitmapOf(bytes, bytes.size()).parts;
}

BitmapLayout bitmapLayout(std::string_view head, uint64_t fileSize) {
  const Bitmap bitmap = bitmapOf(head, fileSize);
  return {bitmap.info, bitmap.parts};
}

std::vector<uint8_t> expandRunLength(std::string_view bytes, uint8_t skipped) {
  const Bitmap bitmap = bitmapOf(bytes, bytes.size());
  if (!bitmap.parts.runLength) refuse("bitmap is not run-length coded");
  return expandRuns(bytes, bitmap, skipped);
}

IconImage iconImage(std::string_view bytes) {
  iconInfo(bytes);
  const Header h(bytes, "icon");
  return {h.u32(6 + 12), h.u32(6 + 8)};
}

namespace {

// A read of the file that failed: the file is as unreadable as one that cannot be opened.
struct ReadFailed {};

std::string readPart(FileReader& file, uint64_t offset, uint64_t count) {
  std::optional<std::string> bytes =
      file.read(offset, static_cast<size_t>(std::min<uint64_t>(count, SIZE_MAX)));
  if (!bytes) throw ReadFailed{};
  return std::move(*bytes);
}

// A file read front to back in pieces, stepping over what is not wanted without reading it.
// A piece holds a plain JPEG's tables in one read.
class Cursor {
 public:
  explicit Cursor(FileReader& file) : file_(file), size_(file.size()) {}

  // The next byte, or -1 at the end of the file.
  int byte() {
    if (next_ == piece_.size()) {
      start_ += piece_.size(), next_ = 0;
      piece_ = start_ < size_ ? readPart(file_, start_, kPiece) : std::string();
      if (piece_.empty()) return -1;
    }
    return static_cast<unsigned char>(piece_[next_++]);
  }
  // Up to count bytes, fewer only at the end of the file.
  std::string take(size_t count) {
    std::string bytes = piece_.substr(next_, count);
    next_ += bytes.size();
    if (bytes.size() < count) {
      // The piece is used up: the rest is read as one part, after which the next piece lies.
      const uint64_t at = start_ + piece_.size();
      const std::string rest = at < size_ ? readPart(file_, at, count - bytes.size()) : "";
      bytes += rest;
      start_ = at + rest.size(), piece_.clear(), next_ = 0;
    }
    return bytes;
  }
  void skip(uint64_t count) {
    if (count <= piece_.size() - next_) {
      next_ += static_cast<size_t>(count);
    } else {
      start_ += next_ + count, piece_.clear(), next_ = 0;
    }
  }

 private:
  static constexpr size_t kPiece = 4096;
  FileReader& file_;
  const uint64_t size_;
  uint64_t start_ = 0;  // where the piece lies in the file
  std::string piece_;
  size_t next_ = 0;
};

// What libjpeg's header reader takes in, read from the file by parts: the bytes up to the
// first scan's header, with it, less the segments it steps over unread (APPn other than
// JFIF's APP0 and Adobe's APP14, and comments), which are skipped here without being read.
// The fill and stray bytes before each marker are found as libjpeg finds them (FF 00 is no
// marker) and dropped. Each segment libjpeg reads is kept whole: it either takes exactly its
// length or refuses the file whatever follows, so the kept bytes give the outcome the whole
// file gives, a file cut short included, since libjpeg meets an end (a step past it ends at
// its fake EOI marker) at the same point of the same segment either way.
std::string jpegHeader(FileReader& file) {
  Cursor in(file);
  std::string kept = in.take(2);
  if (kept != "\xFF\xD8") return kept;  // libjpeg allows nothing before SOI
  for (;;) {
    int code = 0;
    while (code == 0) {
      int c = in.byte();
      while (c >= 0 && c != 0xFF) c = in.byte();
      while (c == 0xFF) c = in.byte();
      if (c < 0) return kept;
      code = c;
    }
    const bool skipped = (code >= 0xE1 && code <= 0xEF && code != 0xEE) || code == 0xFE;
    if (!skipped) kept += '\xFF', kept += static_cast<char>(code);
    if (code == 0xD9) return kept;                                 // EOI
    if (code == 0x01 || (code >= 0xD0 && code <= 0xD8)) continue;  // TEM, RSTn, SOI: no length
    const std::string length = in.take(2);
    if (!skipped) kept += length;
    if (length.size() < 2) return kept;
    // A length below 2 covers only itself, as libjpeg reads it.
    const size_t declared =
        static_cast<unsigned char>(length[0]) << 8 | static_cast<unsigned char>(length[1]);
    const size_t body = std::max<size_t>(declared, 2) - 2;
    if (skipped) {
      in.skip(body);
      continue;
    }
    const std::string bytes = in.take(body);
    kept += bytes;
    if (bytes.size() < body || code == 0xDA) return kept;  // the end, or SOS
  }
}

PictureInfo infoOf(PictureType type, FileReader& file) {
  switch (type) {
    case PictureType::Bitmap:
      return bitmapOf(readPart(file, 0, kBitmapHeadBytes), file.size()).info;
    case PictureType::Jpeg:
      if (file.size() > kMaxJpegBytes) refuse("JPEG file too large");
      return jpegInfo(jpegHeader(file));
    case PictureType::Icon:
    case PictureType::Metafile:
    case PictureType::EnhancedMetafile:
      // Small files whose checks walk all of them (an icon's image, a metafile's records):
      // read whole.
      return readPictureInfo(type, readPart(file, 0, file.size()));
  }
  refuse("unknown picture type");
}

}  // namespace

PictureInfo Pictures::info(const std::string& path) const {
  const PictureType type = pictureTypeOf(path);
  const std::unique_ptr<FileReader> file = env_.openFile(path);
  if (!file) refuse("cannot read picture file " + path);
  try {
    return infoOf(type, *file);
  } catch (const ReadFailed&) {
    refuse("cannot read picture file " + path);
  } catch (const PictureError& e) {
    refuse(path + ": " + e.what());
  }
}

}  // namespace risview::pictures
