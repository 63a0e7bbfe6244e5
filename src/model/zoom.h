// How a sheet designed at 96 pixels per inch is drawn at another size: on a zoomed screen,
// on a monitor of more pixels per inch, on a printer. The model's numbers never change;
// only what realises them scales.
#pragma once

#include <array>

#include "model/form.h"

namespace risview::model {

// A ratio of device pixels to design pixels.
struct Scale {
  int num = 1, den = 1;

  static Scale percent(int p) { return {p, 100}; }
  bool identity() const { return num == den; }
  // A design length or coordinate in device pixels, rounded half away from zero.
  int operator()(int design) const;
  // Edges are scaled, not sizes, so that components that touch in the design still touch.
  Rect operator()(const Rect& design) const;
  // A device coordinate back in design pixels (rounded the same way).
  int toDesign(int device) const;
  bool operator==(const Scale&) const = default;
};

// The zoom steps of the preview, in percent.
inline constexpr std::array<int, 12> kZoomSteps{50,  67,  75,  90,  100, 110,
                                                125, 150, 175, 200, 250, 300};
inline constexpr int kMinZoom = 50, kMaxZoom = 300;

// A window's form at a display scale: client size, window size (its position stays),
// component rectangles (by their edges), font heights and list column widths. Forms are
// designed at 96 dpi; a DPI-aware host on a denser monitor shows them at its scale.
FormDesc scaled(const FormDesc& form, Scale scale);

// The next step up (direction > 0) or down from a zoom that need not be a step itself;
// the ends hold.
int nextZoom(int current, int direction);
// The default zoom for a display scale in percent (96 dpi is 100), held within the steps'
// range.
int defaultZoom(int displayPercent);

// The zoom once the display scale's default zoom changes from `fromDefault` to `toDefault`
// (a window dragged onto a monitor of other DPI): as far from the new default as it was from
// the old, in proportion, rounded, held within the steps' range.
int zoomForDefault(int zoom, int fromDefault, int toDefault);

// The new scroll position that keeps the point `anchor` pixels into the view at the same
// design point when the zoom changes from `from` to `to`.
int scrollKeepingPoint(int position, int anchor, Scale from, Scale to);

}  // namespace risview::model
