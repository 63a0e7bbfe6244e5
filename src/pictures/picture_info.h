// Picture files named by the databases: their type follows the file name's extension
// (case-insensitive) "bmp", "ico", "wmf", "emf", "jpg" or "jpeg"; anything else is not a
// picture. Pages only need a picture's natural size, read from the file's header without
// decoding pixels; the pixels are decoded where the picture is drawn, at the drawn size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace risview::pictures {

enum class PictureType { Bitmap, Icon, Metafile, EnhancedMetafile, Jpeg };

struct PictureInfo {
  PictureType type = PictureType::Bitmap;
  int width = 0, height = 0;  // natural size in pixels, both at least 1
  bool operator==(const PictureInfo&) const = default;
};

// Largest width or height a picture may declare; anything beyond is refused before a byte
// of pixels is allocated.
inline constexpr int kMaxPictureSide = 16384;
// Largest number of pixels held in one piece for a picture: a bitmap's natural size (its
// pixels pass through the platform whole, even when drawn smaller) and a JPEG's decoded
// size. 32 Mi pixels are 128 MiB at 4 bytes a pixel, what a 32-bit host can still find in
// one piece; the largest modalities' images are a fraction of it. A run-length bitmap of a
// few dozen bytes may declare 16384 x 16384, a gigabyte once expanded.
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 25;

// The type a file name's extension gives. Throws PictureError for any other extension.
PictureType pictureTypeOf(std::string_view path);

// The type and natural size of a picture from the first bytes of its file. Throws
// PictureError for a header that is corrupt, truncated, of zero width or height, or beyond
// kMaxPictureSide (a bitmap, or an icon's image, also beyond kMaxPicturePixels), and for a
// JPEG of a colour model other than grey, YCbCr, RGB or CMYK.
//
// Metafiles are sized by their frame as the platform's picture objects keep it, in 0.01 mm,
// and shown at 96 pixels per inch, each step rounded to nearest: a placeable metafile's
// frame is its bounding box over its units per inch, an enhanced metafile's is rclFrame
// (its pixel bounds when the frame is empty). A Windows metafile without the placeable
// header carries no size at all and is refused.
PictureInfo readPictureInfo(PictureType type, std::string_view bytes);

// Where the parts of a bitmap file that the platform draws from lie, as offsets into its
// bytes: the header with its colour masks and table (the last `colours` entries of it, 3
// bytes each after a 12-byte header, else 4), and the pixels. Throws PictureError as
// readPictureInfo does; both parts lie wholly inside the bytes.
struct BitmapParts {
  size_t header = 0, headerSize = 0, pixels = 0, pixelsSize = 0;
  int bits = 0, colours = 0;
  bool runLength = false;  // 8 or 4 bits a pixel, coded in runs
};
BitmapParts bitmapParts(std::string_view bytes);

// The same, with the natural size, from the first kBitmapHeadBytes of a bitmap file (all of
// it when shorter) and the file's size: all a reader of its rows needs, without the rest.
// (The most a bitmap file's header, masks and colour table can take up.)
inline constexpr size_t kBitmapHeadBytes = 14 + 124 + 12 + 256 * 4;
struct BitmapLayout {
  PictureInfo info;
  BitmapParts parts;
};
BitmapLayout bitmapLayout(std::string_view head, uint64_t fileSize);

// A run-length bitmap's pixels expanded to one colour index a byte, bottom row first, each
// row padded to 4 bytes: what an uncompressed bitmap of 8 bits a pixel holds. Pixels that
// the codes skip (a jump, a row or the picture ended early) or never reach (the data ends
// before the picture does) are `skipped`; runs beyond a row's end are cut off there. Reads
// only the pixel part of the bytes and writes only inside the picture. Throws PictureError
// as bitmapParts does, and for a bitmap that is not run-length coded.
std::vector<std::uint8_t> expandRunLength(std::string_view bytes, std::uint8_t skipped);

// Where an icon file's first image (the one shown) lies, as an offset into its bytes and a
// size: wholly inside them, holding a bitmap (with its colours and both masks) or a PNG of
// sane size. Throws PictureError as readPictureInfo does.
struct IconImage {
  size_t offset = 0, size = 0;
};
IconImage iconImage(std::string_view bytes);

// An enhanced metafile's bytes as they are played: players scale by the header's frame and
// its reference device, so an empty frame is made the bounds' (in the device's own 0.01 mm),
// and a device of no pixels or no millimetres one of 96 dpi. Other bytes stay as they are.
// The bytes are those readPictureInfo accepted as an enhanced metafile.
std::string playableEnhancedMetafile(std::string bytes);

// Loads a picture's header through the environment: throws PictureError when the file
// cannot be read or readPictureInfo refuses it. Only what the header needs is read of the
// file: a bitmap's head (its headers, masks and colours), a JPEG's segments up to its first
// scan less those its decoder steps over unread (other applications' data, comments), an
// icon or metafile whole. The outcome is what readPictureInfo gives on the whole file.
class Pictures {
 public:
  explicit Pictures(const Environment& env) : env_(env) {}
  PictureInfo info(const std::string& path) const;

 private:
  const Environment& env_;
};

}  // namespace risview::pictures
