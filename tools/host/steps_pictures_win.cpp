// The report pages' pictures: drawn, blank, timed while scrolling; and screenshots.
#include "host/step_win.h"

#include <algorithm>
#include <set>

namespace risview::host {

namespace {

// Microseconds as milliseconds, for the record.
double milliseconds(long long us) {
  return static_cast<double>(us) / 1000.0;
}

void awaitPicturesDecoded(Step& s, HWND w) {
  s.waitFor([&] { return picturesWaiting(w) == 0; }, "pictures decoded");
}

// The part of the report sheets shown in the window, in the window's picture (frame
// included); empty when it shows none.
RECT shownSheets(HWND w) {
  RECT frame{}, area{};
  GetWindowRect(w, &frame);
  for (HWND child : descendants(w)) {
    if (className(child) != "TPrntSheet" || !IsWindowVisible(child)) continue;
    RECT sheet{}, box{}, shown{};
    GetWindowRect(child, &sheet);
    GetWindowRect(GetParent(child), &box);
    if (!IntersectRect(&shown, &sheet, &box)) continue;
    UnionRect(&area, &area, &shown);
  }
  if (IsRectEmpty(&area)) return area;
  OffsetRect(&area, -frame.left, -frame.top);
  return area;
}

// Pictures still being decoded are waited for, so that what is saved is what the user
// sees once the sheet is complete. A window showing report sheets is judged on them alone
// (`sheets`): its frame and tool bar would pass for a painted window by themselves.
void screenshot(Step& s) {
  s.settle();
  const HWND w = s.window();
  awaitPicturesDecoded(s, w);
  s.saveScreenshot(w, s.arg(0));
  const RECT sheets = shownSheets(w);
  if (!IsRectEmpty(&sheets)) {
    s.record.add("sheets", rectJson({sheets.left, sheets.top, sheets.right - sheets.left,
                                     sheets.bottom - sheets.top}));
  }
}

// The colours of a rectangle of the picture.
std::set<unsigned> coloursIn(const Picture& shot, const RECT& r) {
  std::set<unsigned> colours;
  for (int y = r.top; y < r.bottom && y < shot.height; ++y) {
    for (int x = r.left; x < r.right && x < shot.width; ++x) {
      const unsigned char* p = &shot.rgb[(static_cast<size_t>(y) * shot.width + x) * 3];
      colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
    }
  }
  return colours;
}

// A picture that could not be shown: its box, as far as its page's scroll box shows it,
// holds the sheet's one colour, neither pixels nor the light placeholder.
void expectBlankPicture(HWND w, const Picture& shot, const std::string& name) {
  auto found = findComponent(w, name, false);
  if (!found) throw Failure("no component " + name);
  if (!found->hasPicture) throw Failure(name + " shows no picture file");
  if (found->pictureDrawn) throw Failure(name + " is drawn");
  RECT frame{}, view{}, shown{};
  GetWindowRect(w, &frame);
  HWND scrollBox = findControl(w, name.substr(0, name.find('/')) + "/ScrollBox1");
  GetWindowRect(scrollBox ? scrollBox : w, &view);
  if (!IntersectRect(&shown, &found->screen, &view)) throw Failure(name + " is not in view");
  OffsetRect(&shown, -frame.left, -frame.top);
  const std::set<unsigned> colours = coloursIn(shot, shown);
  if (colours.size() != 1 || *colours.begin() == 0xECECEC) {
    throw Failure(name + " is not blank: " + std::to_string(colours.size()) +
                  " colours in its box" +
                  (colours.count(0xECECEC) ? ", the placeholder's among them" : ""));
  }
}

// Each named picture could not be shown (its file went, or would not decode), judged once
// the decoding is over.
void expectBlank(Step& s) {
  s.settle();
  const HWND w = s.window();
  awaitPicturesDecoded(s, w);
  const Picture shot = captureWindow(w);
  for (const Arg& name : s.command.args) expectBlankPicture(w, shot, name.text);
}

// Each named picture is drawn from its decoded pixels, now or within the time limit.
void expectDrawn(Step& s) {
  s.settle();
  const ULONGLONG t0 = GetTickCount64();
  for (const Arg& name : s.command.args) {
    s.waitFor(
        [&] {
          auto found = findComponent(s.window(), name.text, false);
          if (!found) throw Failure("no component " + name.text);
          return found->pictureDrawn;
        },
        name.text + " drawn");
  }
  s.record.add("drawing", static_cast<long long>(GetTickCount64() - t0));
}

// The pictures a report page shows; one fitted to less than a pixel has nothing to draw.
std::vector<std::string> pagePictures(HWND page) {
  std::vector<std::string> pictures;
  for (const Component& c : pageComponents(page)) {
    if (c.visible && c.hasPicture && !IsRectEmpty(&c.screen)) pictures.push_back(c.name);
  }
  return pictures;
}

// Waits until every picture of the page in the scroll box's view is drawn; how long, in µs.
long long awaitViewDrawn(Step& s, HWND box, const std::vector<std::string>& pictures) {
  HWND page = GetParent(box);
  RECT view{};
  GetWindowRect(box, &view);
  const long long s0 = nowUs();
  s.waitFor(
      [&] {
        for (const std::string& name : pictures) {
          auto c = pageComponent(page, name);
          RECT shown;
          if (c && IntersectRect(&shown, &c->screen, &view) && !c->pictureDrawn) return false;
        }
        return true;
      },
      "pictures in view drawn");
  return nowUs() - s0;
}

// From the top, pages down a report page's scroll box to its end, as a reader does, each time
// waiting until every picture in view is drawn; at the end every picture of the page must have
// been drawn. The transcript has how many, the steps, the wait for the first view, all the
// waits and the longest at one step.
void expectPicturesDrawn(Step& s) {
  HWND box = s.control();
  HWND page = GetParent(box);
  s.post(box, WM_VSCROLL, SB_TOP, 0);
  s.settle();
  const ULONGLONG t0 = GetTickCount64();
  const std::vector<std::string> pictures = pagePictures(page);
  // A page whose pictures all went missing must not pass for one whose pictures were drawn.
  if (static_cast<long>(pictures.size()) != s.number(1)) {
    throw Failure("the page shows " + std::to_string(pictures.size()) + " pictures (" +
                  describeTexts(pictures) + "), expected " + std::to_string(s.number(1)));
  }
  long long longest = 0, firstView = -1, waited = 0;
  int steps = 0;
  for (;;) {
    const long long wait = awaitViewDrawn(s, box, pictures);
    longest = std::max(longest, wait), waited += wait;
    if (firstView < 0) firstView = wait;
    const int before = GetScrollPos(box, SB_VERT);
    s.post(box, WM_VSCROLL, SB_PAGEDOWN, 0);
    s.settle();
    if (GetScrollPos(box, SB_VERT) == before) break;
    ++steps;
  }
  for (const std::string& name : pictures) {
    auto c = pageComponent(page, name);
    if (!c || !c->pictureDrawn) throw Failure(name + " was never drawn");
  }
  s.record.add("pictures", pictures.size())
      .add("steps", steps)
      .add("drawing", static_cast<long long>(GetTickCount64() - t0))
      .add("firstView", milliseconds(firstView))
      .add("waited", milliseconds(waited))
      .add("longestWait", milliseconds(longest));
}

// Lines down a scroll box one at a time, as a user holding the arrow does, each step
// timed from posting it to the calling thread taking the next message (it has scrolled
// and painted what the step before uncovered): the longest such round trip is the
// longest the user waits for an answer.
void scrollTimed(Step& s) {
  HWND box = s.control();
  const long lines = s.number(1);
  long long longest = 0, total = 0;
  long longestAt = 0;
  Json slow = Json::array();  // the steps over 50 ms: their number and time
  for (long i = 0; i < lines; ++i) {
    const long long t0 = nowUs();
    s.post(box, WM_VSCROLL, SB_LINEDOWN, 0);
    s.settle();
    const long long took = settledAtUs() - t0;
    if (took > longest) longest = took, longestAt = i;
    total += took;
    if (took > 50000) slow.push_back(Json::array({i, milliseconds(took)}));
  }
  s.record.add("longest", milliseconds(longest))
      .add("longestAt", longestAt)
      .add("total", milliseconds(total))
      .add("slow", slow);
}

}  // namespace

void addPictureSteps(StepTable& table) {
  table.add("screenshot", screenshot);
  table.add("expect-drawn", expectDrawn);
  table.add("expect-blank", expectBlank);
  table.add("expect-pictures-drawn", expectPicturesDrawn);
  table.add("scroll-timed", scrollTimed);
}

}  // namespace risview::host
