#include "ui/picture_win.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/errors.h"

namespace risview::ui {

namespace {

// The Aldus header in front of a placeable metafile's records.
constexpr size_t kPlaceableHeaderSize = 22;

[[noreturn]] void refuse(const std::wstring& path, const char* what) {
  throw PictureError(win::narrow(path) + ": " + what);
}

// A 32-bit top-down DIB section: blue, green, red and one unused byte per pixel.
win::unique_bitmap createSection(int width, int height, void** bits) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  *bits = nullptr;
  win::unique_bitmap section(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, bits, nullptr, 0));
  return *bits ? std::move(section) : nullptr;
}

// The file's pixels converted into a 32-bit section by the platform, which reads every
// depth, colour table, mask layout and run-length coding a bitmap file can hold. (The
// platform's own file loader is not used: some of its versions draw a top-down file
// black.)
win::unique_bitmap bitmapFromFile(const std::string& bytes, const PictureInfo& info) {
  const BitmapParts parts = bitmapParts(bytes);
  // The header and its colour table, copied to where the platform may read it aligned.
  std::vector<DWORD> header((parts.headerSize + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(header.data(), bytes.data() + parts.header, parts.headerSize);
  void* bits = nullptr;
  win::unique_bitmap section = createSection(info.width, info.height, &bits);
  win::unique_dc dc(CreateCompatibleDC(nullptr));
  if (!section || !dc) return nullptr;
  const HGDIOBJ previous = SelectObject(dc.get(), section.get());
  const int rows =
      StretchDIBits(dc.get(), 0, 0, info.width, info.height, 0, 0, info.width, info.height,
                    bytes.data() + parts.pixels, reinterpret_cast<const BITMAPINFO*>(header.data()),
                    DIB_RGB_COLORS, SRCCOPY);
  SelectObject(dc.get(), previous);
  return rows > 0 ? std::move(section) : nullptr;
}

}  // namespace

std::unique_ptr<PictureImage> PictureImage::load(const std::wstring& path, PictureType type,
                                                 int boxWidth, int boxHeight, bool stretch) {
  const std::optional<std::string> bytes = win::Win32Environment().readFile(win::narrow(path));
  if (!bytes) refuse(path, "cannot read the picture file");

  if (type == PictureType::Jpeg) {
    JpegDecoder decoder(*bytes, boxWidth, boxHeight, stretch);
    auto image = std::make_unique<PictureImage>(Key{}, decoder.info());
    void* bits = nullptr;
    image->bitmap_ = createSection(decoder.width(), decoder.height(), &bits);
    if (!image->bitmap_) refuse(path, "no memory for the picture's pixels");
    decoder.decodeInto(static_cast<std::uint8_t*>(bits), std::ptrdiff_t{decoder.width()} * 4);
    image->bitmapSize_ = {decoder.width(), decoder.height()};
    image->covered_ = {image->info_.width, stretch ? image->info_.height : decoder.height()};
    return image;
  }

  auto image = std::make_unique<PictureImage>(Key{}, readPictureInfo(type, *bytes));
  const PictureInfo& info = image->info_;
  switch (type) {
    case PictureType::Bitmap:
      image->bitmap_ = bitmapFromFile(*bytes, info);
      if (!image->bitmap_) refuse(path, "the bitmap cannot be loaded");
      image->bitmapSize_ = image->covered_ = {info.width, info.height};
      break;
    case PictureType::Icon:
      // Asked for at the first image's size, the platform picks that image.
      image->icon_.reset(static_cast<HICON>(
          LoadImageW(nullptr, path.c_str(), IMAGE_ICON, info.width, info.height, LR_LOADFROMFILE)));
      if (!image->icon_) refuse(path, "the icon cannot be loaded");
      break;
    case PictureType::Metafile: {
      // The records after the placeable header, framed at the picture's size in 0.01 mm.
      const METAFILEPICT frame{MM_ANISOTROPIC, MulDiv(info.width, 2540, 96),
                               MulDiv(info.height, 2540, 96), nullptr};
      image->metafile_.reset(SetWinMetaFileBits(
          static_cast<UINT>(bytes->size() - kPlaceableHeaderSize),
          reinterpret_cast<const BYTE*>(bytes->data()) + kPlaceableHeaderSize, nullptr, &frame));
      if (!image->metafile_) refuse(path, "the metafile cannot be loaded");
      break;
    }
    case PictureType::EnhancedMetafile:
      image->metafile_.reset(GetEnhMetaFileW(path.c_str()));
      if (!image->metafile_) refuse(path, "the enhanced metafile cannot be loaded");
      break;
    case PictureType::Jpeg:
      break;
  }
  return image;
}

void PictureImage::draw(HDC dc, const RECT& dest, bool stretch) const {
  if (dest.right <= dest.left || dest.bottom <= dest.top) return;
  // Where the whole picture lands; clipping cuts off what falls outside dest.
  const RECT whole =
      stretch ? dest : RECT{dest.left, dest.top, dest.left + info_.width, dest.top + info_.height};
  const int wholeWidth = whole.right - whole.left, wholeHeight = whole.bottom - whole.top;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, dest.left, dest.top, dest.right, dest.bottom);
  if (metafile_) {
    PlayEnhMetaFile(dc, metafile_.get(), &whole);
  } else if (icon_) {
    DrawIconEx(dc, whole.left, whole.top, icon_.get(), wholeWidth, wholeHeight, 0, nullptr,
               DI_NORMAL);
  } else if (bitmap_) {
    const int width = MulDiv(covered_.cx, wholeWidth, info_.width);
    const int height = MulDiv(covered_.cy, wholeHeight, info_.height);
    win::unique_dc source(CreateCompatibleDC(dc));
    const HGDIOBJ previous = SelectObject(source.get(), bitmap_.get());
    if (width == bitmapSize_.cx && height == bitmapSize_.cy) {
      BitBlt(dc, whole.left, whole.top, width, height, source.get(), 0, 0, SRCCOPY);
    } else {
      // Halftone averages all the source pixels behind each target pixel where the default
      // mode drops rows and columns; it needs the brush origin set after it.
      SetStretchBltMode(dc, HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      StretchBlt(dc, whole.left, whole.top, width, height, source.get(), 0, 0, bitmapSize_.cx,
                 bitmapSize_.cy, SRCCOPY);
    }
    SelectObject(source.get(), previous);
  }
  RestoreDC(dc, saved);
}

}  // namespace risview::ui
