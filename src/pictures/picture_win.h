// Pictures decoded for drawing on the report sheets: bitmaps and JPEGs as bitmaps, icons as
// icons, both kinds of metafile as enhanced metafiles.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "pictures/picture_info.h"
#include "platform/task_pool.h"
#include "platform/win32.h"

namespace risview::pictures {

// What a decode on a decoding thread minds besides its picture; both may be null.
struct DecodeHooks {
  // A JPEG whose decoding holds much memory at once (a progressive file's coefficients)
  // goes alone through it before decoding.
  SharedGate::Pass* pass = nullptr;
  // Once it holds (the window closes), reading and decoding stop early with PictureError.
  const std::atomic<bool>* abandon = nullptr;
};

// Owns its GDI objects.
class PictureImage {
  struct Key {
    explicit Key() = default;
  };

 public:
  // Decodes the file, read once, for drawing into a box of boxWidth x boxHeight (the
  // control's size). stretch: the picture will fill the box, so a JPEG is decoded at the
  // smallest eighth scale whose output still covers it and a bitmap is reduced to the box
  // (halftone). Otherwise it will be shown at its natural size cut off at the box, so a
  // JPEG is decoded at full scale and only down to the box's bottom, and a bitmap keeps
  // only the part the box shows. Icons and metafiles are made from the same bytes. The
  // header is checked (readPictureInfo) before the platform sees the bytes. Throws
  // PictureError.
  static std::unique_ptr<PictureImage> load(const std::wstring& path, PictureType type,
                                            int boxWidth, int boxHeight, bool stretch = true,
                                            const DecodeHooks& hooks = {});

  // stretch: the whole picture fills dest. Otherwise it stands at its natural size at
  // dest's top-left corner, cut off at dest. Leaves the DC's state as it was.
  void draw(HDC dc, const RECT& dest, bool stretch) const;

  const PictureInfo& info() const { return info_; }
  // The pixels held: a bitmap's no larger than its box, a JPEG's at its decode scale; 0 x 0
  // for icons and metafiles.
  SIZE decodedSize() const { return bitmapSize_; }

  // Writes the whole picture reduced to width x height (no larger than the pixels held
  // either way) as 32-bit pixels, top row first, by averaging as halftone stretching does:
  // false, writing nothing, for an icon, a metafile or a picture held in part.
  bool reduceInto(std::uint8_t* target, int width, int height, std::ptrdiff_t stride) const;

  PictureImage(Key, const PictureInfo& info) : info_(info) {}

 private:
  // The pixels, icon or metafile each kind of picture is held as, made from its checked bytes.
  static std::unique_ptr<PictureImage> loadJpeg(const std::wstring& path, const std::string& bytes,
                                                SIZE box, bool stretch, const DecodeHooks& hooks);
  void holdBitmap(const std::wstring& path, const std::string& bytes, SIZE box, bool stretch);
  void holdIcon(const std::wstring& path, const std::string& bytes);
  void holdMetafile(const std::wstring& path, const std::string& bytes);
  void holdEnhancedMetafile(const std::wstring& path, const std::string& bytes);

  PictureInfo info_;
  win::unique_bitmap bitmap_;
  const std::uint8_t* bits_ = nullptr;  // the bitmap's pixels, 4 bytes each, top row first
  SIZE bitmapSize_{};
  // The part of the picture the bitmap holds, in natural pixels from the top-left corner:
  // all of it, unless it was decoded for natural size and only as far as its box.
  SIZE covered_{};
  win::unique_icon icon_;
  win::unique_enhmetafile metafile_;
};

// A picture made ready for one box of a sheet, at the size the box is drawn: the sheet's
// paint only copies it.
struct PictureRequest {
  std::wstring path;
  PictureType type = PictureType::Bitmap;
  bool stretch = true;                    // fills the box; else at its natural size, cut off at it
  int width = 0, height = 0;              // the box as drawn
  int designWidth = 0, designHeight = 0;  // the box at 100%
  int naturalWidth = 0, naturalHeight = 0;  // the picture as drawn at natural size
  COLORREF paper = RGB(255, 255, 255);      // what shows around a picture smaller than its box
  int64_t naturalPixels = 0;                // the picture's own width x height, from its header
  // Decodes pass it side by side; one that needs much memory at once (kLargeDecodeBytes)
  // alone. Null: no other decode to mind.
  SharedGate* gate = nullptr;
  const std::atomic<bool>* abandon = nullptr;  // see DecodeHooks
};

// A decode holding more than this at once (a bitmap's pixels at natural size, a progressive
// JPEG's coefficients) runs alone: the decoding threads then never hold two of them, or one
// and the others' pictures, which a 32-bit host would feel.
inline constexpr int64_t kLargeDecodeBytes = int64_t{8} << 20;

struct RenderedPicture {
  win::unique_bitmap bitmap;  // width x height of the request, a DIB section
  SIZE size{};
};

// Reads, decodes and fits the picture into a bitmap of the box's drawn size, as the sheet
// would draw it: a stretched JPEG or bitmap decoded at the smallest scale that covers the
// box and averaged down to it. Uses no window and no DC but its own, so any thread may run
// it. Throws PictureError.
RenderedPicture renderPicture(const PictureRequest& request);

}  // namespace risview::pictures
