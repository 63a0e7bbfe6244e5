#include "ui/picture_decoding_win.h"

#include <algorithm>

#include "platform/floating_point_win.h"

namespace risview::ui {

using namespace model;

namespace {

// Most urgent first: what the screen shows, then the rest of that sheet, then the next.
constexpr int kOnScreen = 0, kSameSheet = 1, kNextSheet = 2;
// A light grey box where a picture is still being decoded.
constexpr COLORREF kPlaceholder = RGB(236, 236, 236);
// Enough threads for the cores a workstation has, never so many that a 32-bit host runs
// short of room for their pictures in flight.
constexpr unsigned kMostThreads = 4;

void copy(HDC dc, const RECT& r, const pictures::RenderedPicture& picture) {
  win::unique_dc source(win::counted(CreateCompatibleDC(dc)));
  if (!source) return;
  const HGDIOBJ previous = SelectObject(source.get(), picture.bitmap.get());
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width == picture.size.cx && height == picture.size.cy) {
    BitBlt(dc, r.left, r.top, width, height, source.get(), 0, 0, SRCCOPY);
  } else {
    // Pixels of the size before a zoom, until the new size is ready: quick, not fine.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, r.left, r.top, width, height, source.get(), 0, 0, picture.size.cx,
               picture.size.cy, SRCCOPY);
  }
  SelectObject(source.get(), previous);
}

}  // namespace

PictureDecoding::PictureDecoding()
    : pool_(TaskPool::threadsFor(kMostThreads), [] {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        // Decoding and scaling run under the state the call's own thread has.
        win::setFloatingPointState(win::kMaskedFloatingPoint);
      }) {}

PictureDecoding::~PictureDecoding() {
  stop();
}

DecodedPictures::DecodedPictures(PictureDecoding& decoding, const PageModel& model, HWND notify)
    : decoding_(decoding), model_(model), notify_(notify) {}

DecodedPictures::~DecodedPictures() {
  for (auto& [c, e] : entries_) {
    int waiting = kWaiting;
    if (e.slot) e.slot->state.compare_exchange_strong(waiting, kDropped);
  }
}

DecodedPictures::Entry& DecodedPictures::request(const Component& c, int width, int height,
                                                 COLORREF paper, const Scale& scale, int priority) {
  Entry& e = entries_[&c];
  if (!e.slot || e.width != width || e.height != height) {
    if (e.slot) {
      int waiting = kWaiting;
      e.slot->state.compare_exchange_strong(waiting, kDropped);
      if (e.slot->state.load(std::memory_order_acquire) == kReady) e.previous = e.slot;
    }
    e = Entry{width, height, std::make_shared<Slot>(), std::move(e.previous)};
    ++decodes_;
  }
  // Submitted again when it becomes more urgent; whichever task comes first does the work.
  const bool submitted = e.priority >= 0 && e.priority <= priority;
  if (submitted || e.slot->state.load(std::memory_order_acquire) != kWaiting) return e;
  e.priority = priority;
  pictures::PictureRequest job;
  job.path = win::widen(c.file);
  job.stretch = c.stretch;
  job.width = width, job.height = height;
  job.designWidth = c.rect.width, job.designHeight = c.rect.height;
  job.naturalWidth = scale(c.pictureWidth), job.naturalHeight = scale(c.pictureHeight);
  job.paper = paper;
  job.naturalPixels = int64_t{c.pictureWidth} * c.pictureHeight;
  job.gate = &decoding_.gate();
  job.abandon = &decoding_.stopping();
  try {
    job.type = pictures::pictureTypeOf(c.file);
  } catch (const std::exception&) {
    e.slot->state = kFailed;
    return e;
  }
  decoding_.pool().submit(
      priority, [slot = e.slot, job = std::move(job), notify = notify_, key = &c] {
        int waiting = kWaiting;
        if (!slot->state.compare_exchange_strong(waiting, kDecoding)) return;
        int outcome = kFailed;
        try {
          slot->picture = pictures::renderPicture(job);
          outcome = kReady;
        } catch (...) {
          // Left blank, as a picture that cannot be read is everywhere on the sheets.
        }
        slot->state.store(outcome, std::memory_order_release);
        PostMessageW(notify, kPictureReadyMessage, 0, reinterpret_cast<LPARAM>(key));
      });
  return e;
}

void DecodedPictures::drawPicture(const SheetCanvas& canvas, const Component& c, const RECT& r,
                                  COLORREF paper) {
  Entry& e = request(c, r.right - r.left, r.bottom - r.top, paper, canvas.scale, kOnScreen);
  switch (e.slot->state.load(std::memory_order_acquire)) {
    case kReady:
      copy(canvas.dc, r, e.slot->picture);
      e.drawn = true;
      e.previous.reset();
      break;
    case kFailed:
      break;
    default:
      if (e.previous) {
        copy(canvas.dc, r, e.previous->picture);
      } else {
        fillRect(canvas.dc, r, kPlaceholder);
      }
      break;
  }
}

void DecodedPictures::decodeAhead(const Component& sheet, const Scale& scale) {
  // Once a sheet and scale: every later paint of the sheet would ask for the same.
  const auto [asked, first] = aheadAt_.try_emplace(&sheet, scale);
  if (!first && asked->second == scale) return;
  asked->second = scale;
  const std::vector<const Component*> sheets = model_.sheets();
  const auto at = std::find(sheets.begin(), sheets.end(), &sheet);
  if (at == sheets.end()) return;
  auto ask = [&](const Component& s, int priority) {
    const COLORREF paper = colorOf(s.color, GetSysColor(COLOR_WINDOW));
    for (const Component* c : model_.children(s.name)) {
      if (c->kind != Kind::Image || !c->visible || c->file.empty()) continue;
      const RECT r = toRect(scale(c->rect));
      request(*c, r.right - r.left, r.bottom - r.top, paper, scale, priority);
    }
  };
  ask(sheet, kSameSheet);
  if (at + 1 != sheets.end()) ask(**(at + 1), kNextSheet);
}

const Component* DecodedPictures::readyComponent(LPARAM lParam) const {
  const auto found = entries_.find(reinterpret_cast<const Component*>(lParam));
  return found == entries_.end() ? nullptr : found->first;
}

bool DecodedPictures::drawn(const Component& c) const {
  const auto found = entries_.find(&c);
  return found != entries_.end() && found->second.drawn;
}

int DecodedPictures::waiting() const {
  int count = 0;
  for (const auto& [c, e] : entries_) {
    const int state = e.slot->state.load(std::memory_order_acquire);
    count += state == kWaiting || state == kDecoding;
  }
  return count;
}

}  // namespace risview::ui
