// Picture headers of every type, read from the same bytes: each either gives its type and a
// size within bounds or refuses with PictureError; read from a file by parts, as a page
// reads it, it gives the same; a bitmap's parts lie inside the file.
#include <optional>
#include <string>

#include "fuzz/fuzz.h"
#include "pictures/picture_info.h"
#include "platform/errors.h"
#include "support/doubles.h"

namespace {

using risview::fuzz::check;

constexpr risview::pictures::PictureType kTypes[] = {
    risview::pictures::PictureType::Bitmap, risview::pictures::PictureType::Icon,
    risview::pictures::PictureType::Metafile, risview::pictures::PictureType::EnhancedMetafile,
    risview::pictures::PictureType::Jpeg};
constexpr const char* kPaths[] = {"C:\\p.bmp", "C:\\p.ico", "C:\\p.wmf", "C:\\p.emf", "C:\\p.jpg"};

template <class Read>
std::optional<risview::pictures::PictureInfo> infoOrNone(Read read) {
  try {
    return read();
  } catch (const risview::PictureError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto type : kTypes) {
    try {
      const risview::pictures::PictureInfo info = risview::pictures::readPictureInfo(type, bytes);
      check(info.type == type, "the type read is the type asked for", bytes);
      check(info.width >= 1 && info.width <= risview::pictures::kMaxPictureSide &&
                info.height >= 1 && info.height <= risview::pictures::kMaxPictureSide,
            "a size within bounds", bytes);
    } catch (const risview::PictureError&) {
    }
  }

  // The file's default reader cuts its parts from the whole file, as a real one reads them.
  risview::testing::FakeEnvironment env;
  for (size_t i = 0; i < std::size(kTypes); ++i) {
    env.files[kPaths[i]] = std::string(bytes);
    const auto whole =
        infoOrNone([&] { return risview::pictures::readPictureInfo(kTypes[i], bytes); });
    const auto byParts =
        infoOrNone([&] { return risview::pictures::Pictures(env).info(kPaths[i]); });
    check(whole == byParts, "the header read by parts gives what the whole file gives", bytes);
  }

  bool refused = false;
  try {
    risview::pictures::readPictureInfo(risview::pictures::PictureType::Bitmap, bytes);
  } catch (const risview::PictureError&) {
    refused = true;
  }
  try {
    const risview::pictures::BitmapParts parts = risview::pictures::bitmapParts(bytes);
    check(!refused, "bitmap parts only of a bitmap whose header reads", bytes);
    check(parts.headerSize >= 12 && parts.header + parts.headerSize <= size &&
              parts.pixels <= size && parts.pixelsSize <= size - parts.pixels,
          "bitmap parts lie inside the file", bytes);
  } catch (const risview::PictureError&) {
    check(refused, "bitmap parts of every bitmap whose header reads", bytes);
  }

  // The bytes as a file name: a known extension or PictureError.
  try {
    risview::pictures::pictureTypeOf(bytes);
  } catch (const risview::PictureError&) {
  }
  return 0;
}
