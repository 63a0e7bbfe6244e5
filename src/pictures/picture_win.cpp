#include "pictures/picture_win.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "pictures/jpeg_decoder.h"
#include "pictures/reduce.h"
#include "platform/errors.h"

namespace risview::pictures {

namespace {

// The Aldus header in front of a placeable metafile's records.
constexpr size_t kPlaceableHeaderSize = 22;

[[noreturn]] void refuse(const std::wstring& path, const char* what) {
  throw PictureError(win::narrow(path) + ": " + what);
}

void checkAbandon(const std::wstring& path, const std::atomic<bool>* abandon) {
  if (abandon && abandon->load(std::memory_order_relaxed)) refuse(path, "decoding abandoned");
}

// The file's bytes, read a megabyte at a time so that a slow share gives way when the
// decode is abandoned; nullopt when the file cannot be read.
std::optional<std::string> readPicture(const std::wstring& path, const std::atomic<bool>* abandon) {
  const std::unique_ptr<FileReader> file = win::Win32Environment().openFile(win::narrow(path));
  if (!file) return std::nullopt;
  constexpr size_t kPart = size_t{1} << 20;
  std::string bytes;
  bytes.reserve(static_cast<size_t>(file->size()));
  while (bytes.size() < file->size()) {
    checkAbandon(path, abandon);
    const std::optional<std::string> part =
        file->read(bytes.size(), std::min<uint64_t>(kPart, file->size() - bytes.size()));
    if (!part) return std::nullopt;
    if (part->empty()) break;
    bytes += *part;
  }
  return bytes;
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
  win::unique_bitmap section(
      win::counted(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, bits, nullptr, 0)));
  return *bits ? std::move(section) : nullptr;
}

// The header and its colour table of an uncompressed bitmap, copied to where the platform
// may read it aligned.
std::vector<DWORD> plainHeader(std::string_view bytes, const BitmapParts& parts) {
  std::vector<DWORD> header((parts.headerSize + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(header.data(), bytes.data() + parts.header, parts.headerSize);
  // A count beyond the table that was checked would have the platform read past it.
  if (parts.headerSize >= sizeof(BITMAPINFOHEADER)) {
    reinterpret_cast<BITMAPINFOHEADER*>(header.data())->biClrUsed =
        static_cast<DWORD>(parts.colours);
  }
  return header;
}

// A bitmap file's pixels in a new 32-bit section of held.cx x held.cy: the whole picture
// reduced to it when stretched, else its top-left part at natural size. The platform reads
// every depth, colour table and mask layout a bitmap file can hold; what it is handed is
// only what was checked to lie inside the file, and run-length data is expanded here,
// bounded by the file and the picture. (The platform's own file loader is not used: some
// of its versions draw a top-down file black.) Reducing goes through the natural size
// once, in a section freed right after; the platform's halftone stretching is not relied
// on, since not every implementation of it averages.
win::unique_bitmap bitmapFromFile(const std::string& bytes, const PictureInfo& info, SIZE held,
                                  bool stretch) {
  const BitmapParts parts = bitmapParts(bytes);
  std::vector<DWORD> header;
  const void* pixels = bytes.data() + parts.pixels;
  std::vector<std::uint8_t> expanded;
  if (parts.runLength) {
    // Handed on as 8 bits a pixel with a full table: skipped pixels take the first entry
    // past the file's colours, left black as a fresh section would show them.
    header.assign((sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)) / sizeof(DWORD), 0);
    std::memcpy(header.data(), bytes.data() + parts.header, sizeof(BITMAPINFOHEADER));
    std::memcpy(header.data() + sizeof(BITMAPINFOHEADER) / sizeof(DWORD),
                bytes.data() + parts.header + parts.headerSize - parts.colours * sizeof(RGBQUAD),
                parts.colours * sizeof(RGBQUAD));
    auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(header.data());
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biBitCount = 8;
    h.biCompression = BI_RGB;
    h.biSizeImage = h.biClrUsed = h.biClrImportant = 0;
    expanded = expandRunLength(bytes, static_cast<std::uint8_t>(parts.colours % 256));
    pixels = expanded.data();
  } else {
    header = plainHeader(bytes, parts);
  }
  const bool reduce = stretch && (held.cx != info.width || held.cy != info.height);
  // Drawn at natural size, cut off where the section ends.
  void* bits = nullptr;
  win::unique_bitmap section =
      createSection(reduce ? info.width : held.cx, reduce ? info.height : held.cy, &bits);
  win::unique_dc dc(win::counted(CreateCompatibleDC(nullptr)));
  if (!section || !dc) return nullptr;
  const HGDIOBJ previous = SelectObject(dc.get(), section.get());
  const int rows =
      StretchDIBits(dc.get(), 0, 0, info.width, info.height, 0, 0, info.width, info.height, pixels,
                    reinterpret_cast<const BITMAPINFO*>(header.data()), DIB_RGB_COLORS, SRCCOPY);
  SelectObject(dc.get(), previous);
  if (rows <= 0) return nullptr;
  if (!reduce) return section;
  GdiFlush();  // the platform's drawing is in the pixels before they are read
  void* reducedBits = nullptr;
  win::unique_bitmap reduced = createSection(held.cx, held.cy, &reducedBits);
  if (!reduced) return nullptr;
  reducePixels(static_cast<const std::uint8_t*>(bits), info.width, info.height,
               std::ptrdiff_t{info.width} * 4, static_cast<std::uint8_t*>(reducedBits), held.cx,
               held.cy, std::ptrdiff_t{held.cx} * 4);
  return reduced;
}

// An uncompressed bitmap reduced to width x height (no larger either way) a band of rows at
// a time: the platform turns each band into 32-bit pixels and the band is averaged into the
// target, so the picture is never held at its natural size. The rows come from storage as
// the file holds them, bottom row first unless its height is negative. false when the
// platform refuses a band.
bool reduceBitmapInBands(FileReader& file, std::string_view head, const BitmapParts& parts,
                         const PictureInfo& info, std::uint8_t* target, int width, int height,
                         std::ptrdiff_t stride, const std::atomic<bool>* abandon) {
  std::vector<DWORD> header = plainHeader(head, parts);
  const bool core = parts.headerSize < sizeof(BITMAPINFOHEADER);
  auto* full = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
  auto* small = reinterpret_cast<BITMAPCOREHEADER*>(header.data());
  const bool topDown = !core && full->biHeight < 0;
  const size_t rowBytes = (size_t{static_cast<unsigned>(info.width)} * parts.bits + 31) / 32 * 4;
  // About a megabyte of pixels a band.
  const int bandRows = std::clamp((1 << 20) / (info.width * 4), 1, info.height);
  void* bandBits = nullptr;
  win::unique_bitmap band = createSection(info.width, bandRows, &bandBits);
  win::unique_dc dc(win::counted(CreateCompatibleDC(nullptr)));
  if (!band || !dc) return false;
  const HGDIOBJ previous = SelectObject(dc.get(), band.get());
  int first = 0, rows = 0;  // the picture's rows (top row 0) the band holds
  bool refused = false;
  auto rowAt = [&](int k) -> const std::uint8_t* {
    if (k >= first + rows) {
      first = k, rows = std::min(bandRows, info.height - k);
      // Stored rows of this band: from the file's end of it when the file is bottom-up.
      const int stored = topDown ? first : info.height - first - rows;
      if (core) {
        small->bcHeight = static_cast<WORD>(rows);
      } else {
        full->biHeight = topDown ? -rows : rows;
        full->biSizeImage = 0;
      }
      // Read as the header said the file was: a file cut short since is refused, and so is
      // the rest of a picture whose window has closed.
      refused = refused || (abandon && abandon->load(std::memory_order_relaxed));
      const std::optional<std::string> read =
          refused ? std::nullopt
                  : file.read(parts.pixels + uint64_t(stored) * rowBytes, size_t(rows) * rowBytes);
      if (!read || read->size() != size_t(rows) * rowBytes) {
        refused = true;
        return static_cast<const std::uint8_t*>(bandBits);
      }
      const char* pixels = read->data();
      refused = refused || StretchDIBits(dc.get(), 0, 0, info.width, rows, 0, 0, info.width, rows,
                                         pixels, reinterpret_cast<const BITMAPINFO*>(header.data()),
                                         DIB_RGB_COLORS, SRCCOPY) <= 0;
      GdiFlush();
    }
    return static_cast<const std::uint8_t*>(bandBits) + std::ptrdiff_t{k - first} * info.width * 4;
  };
  reducePixels(rowAt, info.width, info.height, target, width, height, stride);
  SelectObject(dc.get(), previous);
  return !refused;
}

}  // namespace

std::unique_ptr<PictureImage> PictureImage::load(const std::wstring& path, PictureType type,
                                                 int boxWidth, int boxHeight, bool stretch,
                                                 const DecodeHooks& hooks) {
  // Read once: everything below is made from these bytes, as they were checked.
  const std::optional<std::string> bytes = readPicture(path, hooks.abandon);
  if (!bytes) refuse(path, "cannot read the picture file");
  const SIZE box{std::max(boxWidth, 1), std::max(boxHeight, 1)};
  if (type == PictureType::Jpeg) return loadJpeg(path, *bytes, box, stretch, hooks);

  auto image = std::make_unique<PictureImage>(Key{}, readPictureInfo(type, *bytes));
  switch (type) {
    case PictureType::Bitmap:
      image->holdBitmap(path, *bytes, box, stretch);
      break;
    case PictureType::Icon:
      image->holdIcon(path, *bytes);
      break;
    case PictureType::Metafile:
      image->holdMetafile(path, *bytes);
      break;
    case PictureType::EnhancedMetafile:
      image->holdEnhancedMetafile(path, *bytes);
      break;
    case PictureType::Jpeg:
      break;
  }
  return image;
}

std::unique_ptr<PictureImage> PictureImage::loadJpeg(const std::wstring& path,
                                                     const std::string& bytes, SIZE box,
                                                     bool stretch, const DecodeHooks& hooks) {
  JpegDecoder decoder(bytes, box.cx, box.cy, stretch);
  if (hooks.pass && decoder.workingBytes() > kLargeDecodeBytes) hooks.pass->goAlone();
  auto image = std::make_unique<PictureImage>(Key{}, decoder.info());
  void* bits = nullptr;
  image->bitmap_ = createSection(decoder.width(), decoder.height(), &bits);
  if (!image->bitmap_) refuse(path, "no memory for the picture's pixels");
  image->bits_ = static_cast<const std::uint8_t*>(bits);
  decoder.decodeInto(static_cast<std::uint8_t*>(bits), std::ptrdiff_t{decoder.width()} * 4,
                     hooks.abandon);
  image->bitmapSize_ = {decoder.width(), decoder.height()};
  image->covered_ = {image->info_.width, stretch ? image->info_.height : decoder.height()};
  return image;
}

void PictureImage::holdBitmap(const std::wstring& path, const std::string& bytes, SIZE box,
                              bool stretch) {
  // Never more than the box shows: reduced to it when stretched, else cut off at it.
  const SIZE held{std::min<LONG>(info_.width, box.cx), std::min<LONG>(info_.height, box.cy)};
  bitmap_ = bitmapFromFile(bytes, info_, held, stretch);
  if (!bitmap_) refuse(path, "the bitmap cannot be loaded");
  DIBSECTION section{};
  if (GetObjectW(bitmap_.get(), sizeof section, &section) == sizeof section) {
    bits_ = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
  }
  bitmapSize_ = held;
  covered_ = stretch ? SIZE{info_.width, info_.height} : held;
}

void PictureImage::holdIcon(const std::wstring& path, const std::string& bytes) {
  // The first image, the one shown, from the bytes that were checked; copied to where the
  // platform may read its header aligned.
  const IconImage where = iconImage(bytes);
  std::vector<DWORD> resource((where.size + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(resource.data(), bytes.data() + where.offset, where.size);
  icon_.reset(win::counted(CreateIconFromResourceEx(
      reinterpret_cast<BYTE*>(resource.data()), static_cast<DWORD>(where.size), TRUE, 0x00030000,
      info_.width, info_.height, LR_DEFAULTCOLOR)));
  if (!icon_) refuse(path, "the icon cannot be loaded");
}

void PictureImage::holdMetafile(const std::wstring& path, const std::string& bytes) {
  // The records after the placeable header, framed at the picture's size in 0.01 mm.
  const METAFILEPICT frame{MM_ANISOTROPIC, MulDiv(info_.width, 2540, 96),
                           MulDiv(info_.height, 2540, 96), nullptr};
  metafile_.reset(win::counted(SetWinMetaFileBits(
      static_cast<UINT>(bytes.size() - kPlaceableHeaderSize),
      reinterpret_cast<const BYTE*>(bytes.data()) + kPlaceableHeaderSize, nullptr, &frame)));
  if (!metafile_) refuse(path, "the metafile cannot be loaded");
}

void PictureImage::holdEnhancedMetafile(const std::wstring& path, const std::string& bytes) {
  const std::string playable = playableEnhancedMetafile(bytes);
  metafile_.reset(win::counted(SetEnhMetaFileBits(static_cast<UINT>(playable.size()),
                                                  reinterpret_cast<const BYTE*>(playable.data()))));
  if (!metafile_) refuse(path, "the enhanced metafile cannot be loaded");
}

bool PictureImage::reduceInto(std::uint8_t* target, int width, int height,
                              std::ptrdiff_t stride) const {
  const bool whole = covered_.cx == info_.width && covered_.cy == info_.height;
  if (!bits_ || !whole || width > bitmapSize_.cx || height > bitmapSize_.cy) return false;
  GdiFlush();  // what the platform drew into the section is in its pixels
  reducePixels(bits_, bitmapSize_.cx, bitmapSize_.cy, std::ptrdiff_t{bitmapSize_.cx} * 4, target,
               width, height, stride);
  return true;
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
    win::unique_dc source(win::counted(CreateCompatibleDC(dc)));
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

RenderedPicture renderPicture(const PictureRequest& request) {
  const int width = std::max(request.width, 1), height = std::max(request.height, 1);
  SharedGate::Pass pass(request.gate);
  const DecodeHooks hooks{&pass, request.abandon};
  RenderedPicture rendered;
  void* bits = nullptr;
  rendered.bitmap = createSection(width, height, &bits);
  if (!rendered.bitmap) refuse(request.path, "no memory for the picture's pixels");
  rendered.size = {width, height};
  auto* pixels = static_cast<std::uint8_t*>(bits);
  const std::ptrdiff_t stride = std::ptrdiff_t{width} * 4;
  if (request.type == PictureType::Bitmap && request.stretch) {
    // Reduced band by band from the file's rows, read as they are needed: never the whole
    // file or the whole picture at once.
    const std::unique_ptr<FileReader> file =
        win::Win32Environment().openFile(win::narrow(request.path));
    const std::optional<std::string> head = file ? file->read(0, kBitmapHeadBytes) : std::nullopt;
    if (!head) refuse(request.path, "cannot read the picture file");
    const BitmapLayout layout = bitmapLayout(*head, file->size());
    if (!layout.parts.runLength && width <= layout.info.width && height <= layout.info.height) {
      if (!reduceBitmapInBands(*file, *head, layout.parts, layout.info, pixels, width, height,
                               stride, request.abandon)) {
        refuse(request.path, "the bitmap cannot be loaded");
      }
      return rendered;
    }
  }
  // Any other bitmap passes through its natural size: alone when that is large.
  if (request.type == PictureType::Bitmap && request.naturalPixels * 4 > kLargeDecodeBytes) {
    pass.goAlone();
  }
  // A picture at its natural size is decoded as far as its box shows it at 100%, as on
  // paper, and scaled with the sheet below.
  const std::unique_ptr<PictureImage> image =
      request.stretch ? PictureImage::load(request.path, request.type, width, height, true, hooks)
                      : PictureImage::load(request.path, request.type, request.designWidth,
                                           request.designHeight, false, hooks);
  if (request.stretch && image->reduceInto(pixels, width, height, stride)) return rendered;
  // Enlarged, an icon or a metafile: the platform draws it on the sheet's colour.
  win::unique_dc dc(win::counted(CreateCompatibleDC(nullptr)));
  if (!dc) refuse(request.path, "no device context to draw the picture in");
  const HGDIOBJ previous = SelectObject(dc.get(), rendered.bitmap.get());
  const RECT box{0, 0, width, height};
  win::fillRect(dc.get(), box, request.paper);
  image->draw(dc.get(),
              request.stretch ? box : RECT{0, 0, request.naturalWidth, request.naturalHeight},
              true);
  GdiFlush();
  SelectObject(dc.get(), previous);
  return rendered;
}

}  // namespace risview::pictures
