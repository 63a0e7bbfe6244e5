// Report pictures decoded off the thread that answers the user: a sheet paints what is
// ready and a light placeholder for the rest; the decoding threads read, decode and fit
// each picture to its drawn size and tell the page, which repaints only that box. While the
// user reads a sheet, the rest of its pictures and the next sheet's are decoded ahead.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <unordered_map>

#include "model/page_model.h"
#include "model/zoom.h"
#include "pictures/picture_win.h"
#include "platform/task_pool.h"
#include "ui/sheet_paint_win.h"

namespace risview::ui {

// Posted to the window a DecodedPictures tells when a picture is ready: lParam is the
// component (a key only; it may be gone).
inline constexpr UINT kPictureReadyMessage = WM_APP + 0x52;

// The decoding threads of one preview window, below the user's thread in priority. The
// window stops them before its pages and their pictures go; a call never returns while one
// of its pictures is being decoded.
class PictureDecoding {
 public:
  PictureDecoding();
  ~PictureDecoding();
  PictureDecoding(const PictureDecoding&) = delete;
  PictureDecoding& operator=(const PictureDecoding&) = delete;

  TaskPool& pool() { return pool_; }
  SharedGate& gate() { return gate_; }
  // Drops what has not started, tells what runs to give up at its next row or megabyte,
  // and waits for it.
  void stop() {
    stopping_ = true;
    pool_.stop();
  }
  const std::atomic<bool>& stopping() const { return stopping_; }

 private:
  // Before the pool: its threads use them until they are joined.
  SharedGate gate_;
  std::atomic<bool> stopping_{false};
  TaskPool pool_;
};

// The pictures of one page, each held ready at the size its box is drawn: a repaint only
// copies it; another size (a zoom) is decoded again, the old pixels standing in meanwhile.
// A picture that cannot be decoded stays blank, as everywhere on the sheets.
class DecodedPictures : public PictureSource {
 public:
  DecodedPictures(PictureDecoding& decoding, const model::PageModel& model, HWND notify);
  // Drops the page's work that has not started; what runs ends on its own.
  ~DecodedPictures() override;
  DecodedPictures(const DecodedPictures&) = delete;
  DecodedPictures& operator=(const DecodedPictures&) = delete;

  void drawPicture(const SheetCanvas& canvas, const model::Component& c, const RECT& r,
                   COLORREF paper) override;
  // After a sheet has painted: the rest of its pictures and the next sheet's, behind
  // whatever the screen waits for.
  void decodeAhead(const model::Component& sheet, const model::Scale& scale);

  // The component whose picture kPictureReadyMessage names, if it is one of this page's.
  const model::Component* readyComponent(LPARAM lParam) const;
  // Drawn on the screen from its decoded pixels at its current size.
  bool drawn(const model::Component& c) const;
  // Pictures asked for and neither ready nor failed yet.
  int waiting() const;
  // How often a picture was asked for at a new size.
  size_t decodes() const { return decodes_; }

 private:
  enum State : int { kWaiting, kDecoding, kReady, kFailed, kDropped };
  struct Slot {
    std::atomic<int> state{kWaiting};
    pictures::RenderedPicture picture;  // the worker's until the state says ready, then read-only
  };
  struct Entry {
    int width = 0, height = 0;
    std::shared_ptr<Slot> slot;
    std::shared_ptr<Slot> previous;  // ready at another size, shown until slot is
    int priority = -1;               // the most urgent it was submitted at; -1 not yet
    bool drawn = false;
  };
  // The entry for c at the drawn size, submitted at least at `priority`.
  Entry& request(const model::Component& c, int width, int height, COLORREF paper,
                 const model::Scale& scale, int priority);

  PictureDecoding& decoding_;
  const model::PageModel& model_;
  HWND notify_;
  std::unordered_map<const model::Component*, Entry> entries_;
  std::unordered_map<const model::Component*, model::Scale>
      aheadAt_;  // sheets decoded ahead, at what scale
  size_t decodes_ = 0;
};

}  // namespace risview::ui
