// Pictures decoded for drawing on the report sheets: bitmaps and JPEGs as bitmaps, icons as
// icons, both kinds of metafile as enhanced metafiles.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/picture.h"
#include "platform/win32.h"

namespace risview::ui {

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
                                            int boxWidth, int boxHeight, bool stretch = true);

  // stretch: the whole picture fills dest. Otherwise it stands at its natural size at
  // dest's top-left corner, cut off at dest. Leaves the DC's state as it was.
  void draw(HDC dc, const RECT& dest, bool stretch) const;

  const PictureInfo& info() const { return info_; }
  // The pixels held: a bitmap's no larger than its box, a JPEG's at its decode scale; 0 x 0
  // for icons and metafiles.
  SIZE decodedSize() const { return bitmapSize_; }

  PictureImage(Key, const PictureInfo& info) : info_(info) {}

 private:
  PictureInfo info_;
  win::unique_bitmap bitmap_;
  SIZE bitmapSize_{};
  // The part of the picture the bitmap holds, in natural pixels from the top-left corner:
  // all of it, unless it was decoded for natural size and only as far as its box.
  SIZE covered_{};
  win::unique_icon icon_;
  win::unique_enhmetafile metafile_;
};

}  // namespace risview::ui
