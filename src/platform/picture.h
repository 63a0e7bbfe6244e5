// Picture files named by the databases: their type follows the file name's extension
// (case-insensitive) "bmp", "ico", "wmf", "emf", "jpg" or "jpeg"; anything else is not a
// picture. Pages only need a picture's natural size, read from the file's header without
// decoding pixels; the pixels are decoded where the picture is drawn, at the drawn size.
#pragma once

#include <string>
#include <string_view>

#include "platform/services.h"

namespace risview {

enum class PictureType { Bitmap, Icon, Metafile, EnhancedMetafile, Jpeg };

struct PictureInfo {
  PictureType type = PictureType::Bitmap;
  int width = 0, height = 0;  // natural size in pixels, both at least 1
  bool operator==(const PictureInfo&) const = default;
};

// Largest width or height a picture may declare; anything beyond is refused before a byte
// of pixels is allocated.
inline constexpr int kMaxPictureSide = 16384;

// The type a file name's extension gives. Throws PictureError for any other extension.
PictureType pictureTypeOf(std::string_view path);

// The type and natural size of a picture from the first bytes of its file. Throws
// PictureError for a header that is corrupt, truncated, of zero width or height, or beyond
// kMaxPictureSide.
PictureInfo readPictureInfo(PictureType type, std::string_view bytes);

// Loads a picture's header through the environment: throws PictureError when the file
// cannot be read or readPictureInfo refuses it.
class Pictures {
 public:
  explicit Pictures(const Environment& env) : env_(env) {}
  PictureInfo info(const std::string& path) const;

 private:
  const Environment& env_;
};

}  // namespace risview
