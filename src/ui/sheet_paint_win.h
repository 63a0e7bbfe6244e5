// One routine draws a report sheet from its model, for the screen's sheets, the printer and
// the suites' memory bitmaps alike: its labels, shapes and pictures, at any scale. On the
// screen edits and rich-text boxes are windows of their own and draw themselves; on paper
// the routine draws them too, from their text.
#pragma once

#include <windows.h>

#include <memory>
#include <unordered_map>

#include "model/page_model.h"
#include "model/zoom.h"
#include "ui/window_win.h"

namespace risview::pictures {
class PictureImage;
}

namespace risview::ui {

struct SheetCanvas;

// Where a sheet's pictures come from: decoded on the spot (paper, the suites' bitmaps) or
// by the decoding threads (the screen).
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // Draws the picture of c into its box r (device coordinates, already filled with the
  // sheet's colour `paper`), or what stands for it until it is ready.
  virtual void drawPicture(const SheetCanvas& canvas, const model::Component& c, const RECT& r,
                           COLORREF paper) = 0;
};

// The pictures of a page, each decoded at the size it is drawn, while it is drawn: drawing
// again at the same size decodes nothing, another size (a zoom, a printer) decodes again. A
// picture that cannot be decoded stays blank and is not tried again at that size.
class SheetPictures : public PictureSource {
 public:
  SheetPictures();
  ~SheetPictures() override;
  SheetPictures(const SheetPictures&) = delete;
  SheetPictures& operator=(const SheetPictures&) = delete;

  void drawPicture(const SheetCanvas& canvas, const model::Component& c, const RECT& r,
                   COLORREF paper) override;
  // Null for a component without a file or with a file that cannot be decoded.
  const pictures::PictureImage* picture(const model::Component& c, int width, int height);
  size_t decodes() const { return decodes_; }

 private:
  struct Entry {
    std::unique_ptr<pictures::PictureImage> image;
    int width = 0, height = 0;
  };
  std::unordered_map<const model::Component*, Entry> entries_;
  size_t decodes_ = 0;
};

struct SheetCanvas {
  HDC dc = nullptr;  // its origin is the sheet's top-left corner
  model::Scale scale;
  RECT clip{};  // what needs drawing, in the DC's coordinates
  FontCache* fonts = nullptr;
  PictureSource* pictures = nullptr;
  // Edits and rich-text boxes are drawn as well, where no window draws them (a printer).
  bool withEdits = false;
};

// Fills the sheet with its colour and draws its components in creation order (the order in
// which they lie on one another).
void paintSheet(const model::PageModel& model, const model::Component& sheet,
                const SheetCanvas& canvas);

// The colour a component stands on: its sheet's.
COLORREF sheetColorOf(const model::PageModel& model, const model::Component& c);

}  // namespace risview::ui
