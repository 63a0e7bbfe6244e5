// Stand-in until pictures are decoded; replaced by the picture loader.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/errors.h"
#include "platform/picture.h"

namespace risview::ui {

class PictureImage {
 public:
  static std::unique_ptr<PictureImage> load(const std::wstring&, PictureType, int, int) {
    throw PictureError("Pictures are not decoded yet");
  }
  void draw(HDC, const RECT&, bool) const {}
};

}  // namespace risview::ui
