#include "ui/page_win.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "pictures/picture_info.h"
#include "pictures/picture_win.h"
#include "ui/component_query.h"
#include "ui/window_win.h"

namespace risview::ui {

using namespace model;

namespace {

constexpr wchar_t kSheetClass[] = L"TPrntSheet";
constexpr int kLineStep = 20;

// A rich edit whose text fits shows no bar and would swallow the wheel without moving:
// the notch goes on to the sheet and its scroll box. Ctrl+wheel stays its own (zoom).
LRESULT richEditWheel(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  const bool sideways = message == WM_MOUSEHWHEEL;
  if (sideways || (message == WM_MOUSEWHEEL && ((GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) ||
                                                !(GetWindowLongPtrW(h, GWL_STYLE) & WS_VSCROLL)))) {
    return SendMessageW(GetParent(h), message, wParam, lParam);
  }
  return DefSubclassProc(h, message, wParam, lParam);
}

// The default handling of the sheet's windows. The wheel bubbles up to the scroll box
// through DefWindowProc; Wine passes the tilt wheel on to no parent, so it is sent up here.
LRESULT childDefault(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEHWHEEL && (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) {
    return SendMessageW(GetParent(h), message, wParam, lParam);
  }
  return DefWindowProcW(h, message, wParam, lParam);
}

void fillClient(HWND h, HDC dc, HBRUSH brush) {
  RECT r;
  GetClientRect(h, &r);
  FillRect(dc, &r, brush);
}

// The box's text colour, and the marks of what a revision changed where the page shows them:
// each piece is selected by its place in the box's text, where a line end counts one.
void colorRichEdit(HWND h, const Component& c) {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR | CFM_UNDERLINE | CFM_STRIKEOUT;
  cf.crTextColor = c.font.color;
  SendMessageW(h, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  if (c.changes.empty()) return;
  LONG at = 0;
  for (const TextChange& piece : c.changes) {
    LONG length = 0;
    const std::wstring text = win::widen(piece.text);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
      ++length;
    }
    if (piece.kind != TextChange::Kind::Same) {
      CHARRANGE range{at, at + length};
      SendMessageW(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
      CHARFORMAT2W mark{};
      mark.cbSize = sizeof mark;
      mark.dwMask = CFM_COLOR | CFM_UNDERLINE | CFM_STRIKEOUT;
      const bool inserted = piece.kind == TextChange::Kind::Inserted;
      mark.dwEffects = inserted ? CFE_UNDERLINE : CFE_STRIKEOUT;
      mark.crTextColor = inserted ? kInsertedColor : kRemovedColor;
      SendMessageW(h, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&mark));
    }
    at += length;
  }
  CHARRANGE start{0, 0};
  SendMessageW(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
}

// What a rich-text box shows: its text, or with a revision's changes every piece of it,
// the removed ones too.
std::wstring richEditText(const Component& c) {
  if (c.changes.empty()) return win::widen(richTextShown(c.caption));
  std::string text;
  for (const TextChange& piece : c.changes) text += piece.text;
  return win::widen(richTextShown(text));
}

// A report text's box: its text, colours and marks, its wheel passed on when it has no bar.
void fillRichEdit(HWND h, const Component& c) {
  // Report texts are never RTF; a text with its changes marked needs character formats.
  if (c.changes.empty()) SendMessageW(h, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
  SetWindowSubclass(h, &guardedSubclassProc<&richEditWheel>, 1, 0);
  SendMessageW(h, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
  // A rich edit takes 32,767 characters unless told otherwise and cuts the rest off without a
  // sign; a text beyond the shown limit ends with a line that says so.
  const std::wstring shown = richEditText(c);
  SendMessageW(h, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(shown.size() + 1));
  SetWindowTextW(h, shown.c_str());
  colorRichEdit(h, c);
}

UINT queryMessage() {
  static const UINT message = RegisterWindowMessageW(kComponentQueryMessage);
  return message;
}

}  // namespace

// --- text metrics -------------------------------------------------------------------------

GdiTextMetrics::GdiTextMetrics() : dc_(win::counted(CreateCompatibleDC(nullptr))) {}

GdiTextMetrics::~GdiTextMetrics() {
  if (dc_) win::gdiFreed(DeleteDC(dc_) != FALSE);
}

HFONT GdiTextMetrics::select(const Font& font) const {
  return static_cast<HFONT>(SelectObject(dc_, fonts_.get(font)));
}

int GdiTextMetrics::textWidth(const Font& font, std::string_view text) const {
  HFONT old = select(font);
  std::wstring wide = win::widen(text);
  SIZE size{};
  GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc_, old);
  return size.cx;
}

int GdiTextMetrics::lineHeight(const Font& font) const {
  HFONT old = select(font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  SelectObject(dc_, old);
  return tm.tmHeight;
}

int GdiTextMetrics::lineCount(const Font& font, std::string_view text, int width) const {
  std::wstring wide = win::widen(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
  if (wide.empty()) return 0;
  HFONT old = select(font);
  RECT r{0, 0, std::max(width, 1), 0};
  DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r,
            DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  SelectObject(dc_, old);
  return tm.tmHeight > 0 ? (r.bottom - r.top) / tm.tmHeight : 0;
}

// --- page window --------------------------------------------------------------------------

PageWindow::PageWindow(std::unique_ptr<pages::TPrntPage> page, HWND parent, const std::string& name,
                       PictureDecoding& decoding)
    : page_(std::move(page)) {
  loadRichEdit();
  // The page window's class is the page's own ("TMyPrntPage", ...), as site tools know it.
  const std::wstring pageClass = win::widen(page_->className());
  WindowClass<PageWindow, &PageWindow::pageMessage>::registerAs(pageClass.c_str());
  WindowClass<PageWindow, &PageWindow::scrollBoxMessage>::registerAs(kScrollBoxClass);
  WindowClass<PageWindow, &PageWindow::sheetMessage>::registerAs(kSheetClass);
  queryMessage();

  const FormDesc& form = page_->model().form();
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, pageClass.c_str(), win::widen(form.caption).c_str(),
                          WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, form.clientWidth,
                          form.clientHeight, parent, nullptr, win::thisModule(), this);
  if (hwnd_ == nullptr) throw std::runtime_error("The report page window could not be created");
  names_.name(hwnd_, name);
  pictures_ = std::make_unique<DecodedPictures>(decoding, page_->model(), hwnd_);
}

void PageWindow::disconnectReaders() {
  for (auto& [h, object] : accessibles_) {
    disconnect(object);
    release(object);
  }
  accessibles_.clear();
}

PageWindow::~PageWindow() {
  disconnectReaders();
  if (hwnd_) {
    // Children first lose their way back to this object, then go with the window.
    for (const auto& [h, c] : controls_) unbindWindow(h);
    unbindWindow(hwnd_);
    names_.clear();
    DestroyWindow(hwnd_);
  }
  if (sheetCursor_) DestroyCursor(sheetCursor_);
}

HBRUSH PageWindow::brush(COLORREF color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second.get();
  return brushes_.emplace(color, win::unique_brush(win::counted(CreateSolidBrush(color))))
      .first->second.get();
}

const Component* PageWindow::componentOf(HWND h) const {
  auto it = controls_.find(h);
  return it == controls_.end() ? nullptr : it->second;
}

HWND PageWindow::control(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

RECT PageWindow::placeOf(const Component& c) const {
  const Rect r = scale()(c.rect);
  RECT placed{r.left, r.top, r.right(), r.bottom()};
  const Component* parent = page_->model().find(c.parent);
  if (parent && parent->kind == Kind::ScrollBox) OffsetRect(&placed, -scrollX_, -scrollY_);
  return placed;
}

void PageWindow::realise() {
  if (realised()) return;
  // A missing cursor file leaves the sheet with the default arrow.
  if (!sheetCursor_) sheetCursor_ = LoadCursorFromFileW(L"hmove.cur");
  createControls();
}

// Parents are created before their children; among siblings a later component lies on top.
// Labels, shapes and pictures get no window: their sheet draws them.
void PageWindow::createControls() {
  const PageModel& model = page_->model();
  HINSTANCE instance = win::thisModule();
  std::vector<std::pair<std::string, HWND>> pending{{"", hwnd_}};
  for (size_t next = 0; next < pending.size(); ++next) {
    const auto [parentName, parent] = pending[next];
    for (const Component* c : model.children(parentName)) {
      const Realisation how = realisationOf(*c, kSheetClass);
      if (!how.windowClass) continue;  // drawn by its sheet
      const RECT r = placeOf(*c);
      // The scroll box and the sheets are this object's windows; the system's controls take
      // nothing.
      const bool own = c->kind == Kind::ScrollBox || c->kind == Kind::Panel;
      HWND h = CreateWindowExW(how.exStyle, how.windowClass,
                               c->kind == Kind::Edit ? win::widen(c->caption).c_str() : L"",
                               how.style | WS_CLIPSIBLINGS, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parent, nullptr, instance, own ? this : nullptr);
      if (h == nullptr) continue;  // a control that cannot be made is left out, not the page
      controls_[h] = c;
      byName_[c->name] = h;
      SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      names_.name(h, c->name);
      SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(c->font, scale())), FALSE);
      if (c->kind == Kind::ScrollBox) scrollBox_ = h;
      if (c->kind == Kind::RichEdit) fillRichEdit(h, *c);
      if (own) pending.emplace_back(c->name, h);
    }
  }
  RECT client;
  GetClientRect(hwnd_, &client);
  if (scrollBox_) {
    MoveWindow(scrollBox_, 0, 0, client.right, client.bottom, FALSE);
    updateScrollBars();
  }
}

void PageWindow::setBounds(const RECT& r) {
  MoveWindow(hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void PageWindow::raise() {
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void PageWindow::bringToFront() {
  // The first sheet's pictures decode once the page has made its windows: started sooner,
  // the decoding threads would take the cores the windows are made on.
  const bool first = !realised();
  realise();
  raise();
  if (first) {
    const std::vector<const Component*> sheets = page_->model().sheets();
    if (!sheets.empty()) pictures_->decodeAhead(*sheets.front(), scale());
  }
  notifySheets(EVENT_OBJECT_SHOW);
}

void PageWindow::notifySheets(DWORD event) const {
  for (const auto& [h, c] : controls_) {
    if (c->kind == Kind::Panel) NotifyWinEvent(event, h, OBJID_CLIENT, CHILDID_SELF);
  }
}

LRESULT PageWindow::answerGetObject(HWND sheet, const Component& c, WPARAM wParam) {
  SheetAccessible*& object = accessibles_[sheet];
  if (!object) object = makeSheetAccessible(*this, sheet, c);
  return ui::answerGetObject(object, wParam);
}

int PageWindow::scrollPosition() const {
  return scrollY_;
}

void PageWindow::scrollTo(int position) {
  if (!scrollBox_) return;
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(scrollBox_, SB_VERT, &si);
  const int limit = std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
  position = std::clamp(position, 0, limit);
  scrollBy(0, position - scrollY_);
}

void PageWindow::setZoom(int percent, const POINT* anchor) {
  percent = std::clamp(percent, kMinZoom, kMaxZoom);
  if (percent == zoom_) return;
  const Scale from = scale();
  zoom_ = percent;
  if (!realised()) return;  // realised later at this zoom
  scrollX_ = scrollKeepingPoint(scrollX_, anchor ? anchor->x : 0, from, scale());
  scrollY_ = scrollKeepingPoint(scrollY_, anchor ? anchor->y : 0, from, scale());
  applyZoom();
}

// Every windowed control moves and sizes to the zoom, with its font made at the zoomed
// height; the sheets draw the rest at the zoom when they paint, and pictures are decoded
// again at their new size.
void PageWindow::applyZoom() {
  SendMessageW(scrollBox_, WM_SETREDRAW, FALSE, 0);
  for (const auto& [h, component] : controls_) {
    const Component& c = *component;
    if (c.kind == Kind::ScrollBox) continue;
    const RECT r = placeOf(c);
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.kind == Kind::Edit || c.kind == Kind::RichEdit) {
      SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(c.font, scale())), FALSE);
      if (c.kind == Kind::RichEdit) colorRichEdit(h, c);
    }
  }
  updateScrollBars();
  SendMessageW(scrollBox_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(scrollBox_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  notifySheets(EVENT_OBJECT_LOCATIONCHANGE);
}

// A notch moves as many lines as the system's wheel setting says, or a whole page for a
// setting of one page; smaller deltas of fine-grained wheels move their share of that.
void PageWindow::wheel(int bar, int delta) {
  UINT lines = 3;
  if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) lines = 3;
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(scrollBox_, bar, &si);
  const long long notch = lines == WHEEL_PAGESCROLL
                              ? static_cast<long long>(si.nPage)
                              : static_cast<long long>(lines) * scale()(kLineStep);
  const int step = static_cast<int>(notch * delta / WHEEL_DELTA);
  const int limit = std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
  if (bar == SB_VERT) {
    scrollBy(0, std::clamp(scrollY_ - step, 0, limit) - scrollY_);
  } else {
    scrollBy(std::clamp(scrollX_ - step, 0, limit) - scrollX_, 0);
  }
}

void PageWindow::scrollBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  scrollX_ += dx;
  scrollY_ += dy;
  ScrollWindowEx(scrollBox_, -dx, -dy, nullptr, nullptr, nullptr, nullptr,
                 SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
  SetScrollPos(scrollBox_, SB_HORZ, scrollX_, TRUE);
  SetScrollPos(scrollBox_, SB_VERT, scrollY_, TRUE);
  notifySheets(EVENT_OBJECT_LOCATIONCHANGE);
}

// The scroll ranges are the model's, at the zoom; a bar shows only when the box is smaller
// than its range. A bar that comes or goes changes the room the other has, so this runs
// until the box's client size holds still.
void PageWindow::updateScrollBars() {
  const Component* box = componentOf(scrollBox_);
  if (!box) return;
  const int ranges[2] = {scale()(box->scrollRange.horizontal), scale()(box->scrollRange.vertical)};
  const int bars[2] = {SB_HORZ, SB_VERT};
  int positions[2] = {scrollX_, scrollY_};
  RECT client;
  GetClientRect(scrollBox_, &client);
  for (int pass = 0; pass < 3; ++pass) {
    const int pages[2] = {client.right, client.bottom};
    for (int i = 0; i < 2; ++i) {
      SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS};
      si.nMin = 0;
      si.nMax = std::max(0, ranges[i] - 1);
      si.nPage = static_cast<UINT>(std::max(0, pages[i]));
      positions[i] = std::clamp(positions[i], 0, std::max(0, ranges[i] - pages[i]));
      si.nPos = positions[i];
      SetScrollInfo(scrollBox_, bars[i], &si, TRUE);
    }
    RECT now;
    GetClientRect(scrollBox_, &now);
    if (now.right == client.right && now.bottom == client.bottom) break;
    client = now;
  }
  scrollBy(positions[0] - scrollX_, positions[1] - scrollY_);
}

void PageWindow::onScroll(int bar, WPARAM wParam) {
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(scrollBox_, bar, &si);
  int pos = si.nPos;
  const int line = scale()(kLineStep);
  switch (LOWORD(wParam)) {
    case SB_LINEUP:
      pos -= line;
      break;
    case SB_LINEDOWN:
      pos += line;
      break;
    case SB_PAGEUP:
      pos -= static_cast<int>(si.nPage);
      break;
    case SB_PAGEDOWN:
      pos += static_cast<int>(si.nPage);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      pos = si.nTrackPos;
      break;
    case SB_TOP:
      pos = si.nMin;
      break;
    case SB_BOTTOM:
      pos = si.nMax;
      break;
    default:
      return;
  }
  const int limit = std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
  pos = std::clamp(pos, 0, limit);
  if (bar == SB_VERT) {
    scrollBy(0, pos - scrollY_);
  } else {
    scrollBy(pos - scrollX_, 0);
  }
}

LRESULT PageWindow::colorControl(HDC dc, HWND h) {
  COLORREF background = GetSysColor(COLOR_WINDOW);
  if (const Component* c = componentOf(h)) {
    SetTextColor(dc, c->font.color);
    background = colorOf(c->color, sheetColorOf(page_->model(), *c));
  }
  SetBkColor(dc, background);
  return reinterpret_cast<LRESULT>(brush(background));
}

// Drawn off screen and copied in one go, so that a sheet full of pictures does not flicker
// while it scrolls.
void PageWindow::paintSheet(HWND h, const Component& sheet) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  const RECT& area = ps.rcPaint;
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width > 0 && height > 0) {
    SheetCanvas canvas{dc, scale(), area, &fonts_, pictures_.get()};
    win::unique_dc memory(win::counted(CreateCompatibleDC(dc)));
    win::unique_bitmap bitmap(win::counted(CreateCompatibleBitmap(dc, width, height)));
    if (memory && bitmap) {
      const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
      SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
      canvas.dc = memory.get();
      ui::paintSheet(page_->model(), sheet, canvas);
      SetViewportOrgEx(memory.get(), 0, 0, nullptr);
      BitBlt(dc, area.left, area.top, width, height, memory.get(), 0, 0, SRCCOPY);
      SelectObject(memory.get(), previous);
    } else {
      ui::paintSheet(page_->model(), sheet, canvas);
    }
  }
  EndPaint(h, &ps);
  pictures_->decodeAhead(sheet, scale());
}

bool PageWindow::answer(ComponentQuery& q) {
  const PageModel& model = page_->model();
  const Component* c = nullptr;
  if (q.name) {
    c = model.find(q.name);
  } else if (q.index >= 0 && static_cast<size_t>(q.index) < model.components().size()) {
    c = &model.components()[static_cast<size_t>(q.index)];
  }
  if (!c) return false;
  if (q.needWindow) realise();
  q.answeredName = c->name.c_str();
  q.hasPicture = c->kind == Kind::Image && !c->file.empty();
  q.pictureDrawn = pictures_->drawn(*c);
  q.picturesWaiting = pictures_->waiting();
  q.className = realisationOf(*c, kSheetClass).toolkitClass;
  q.text = c->caption.c_str();
  q.window = control(c->name);
  if (q.window) {
    GetWindowRect(q.window, &q.rect);
    q.visible = IsWindowVisible(q.window);
    q.enabled = IsWindowEnabled(q.window);
    return true;
  }
  // Where the component is drawn: its place in its parent, and the parent's in its own, up
  // to the page, as the windows would stand.
  bool visible = IsWindowVisible(hwnd_) != FALSE, enabled = true;
  const Rect size = scale()(c->rect);
  RECT placed{0, 0, size.width, size.height};
  for (const Component* at = c; at; at = model.find(at->parent)) {
    const RECT r = placeOf(*at);
    OffsetRect(&placed, r.left, r.top);
    visible = visible && at->visible;
    enabled = enabled && at->enabled;
    if (at->parent.empty()) break;
  }
  MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&placed), 2);
  q.rect = placed;
  q.visible = visible;
  q.enabled = enabled;
  return true;
}

LRESULT PageWindow::pageMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == queryMessage() && lParam) {
    return answer(*reinterpret_cast<ComponentQuery*>(lParam)) ? TRUE : FALSE;
  }
  if (message == kPictureReadyMessage) {
    pictureReady(lParam);
    return 0;
  }
  if (message == WM_SIZE && scrollBox_) {
    MoveWindow(scrollBox_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    updateScrollBars();
    return 0;
  }
  return DefWindowProcW(h, message, wParam, lParam);
}

// Only the picture's box is painted again, if its sheet has a window yet.
void PageWindow::pictureReady(LPARAM ticket) {
  const Component* c = pictures_->readyComponent(ticket);
  if (!c) return;
  HWND sheet = control(c->parent);
  if (!sheet) return;
  const RECT r = toRect(scale()(c->rect));
  InvalidateRect(sheet, &r, FALSE);
  // A reader that follows the picture hears that it has come.
  const PageModel& model = page_->model();
  if (const long id = childIdOf(model, model.at(c->parent), *c)) {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, sheet, OBJID_CLIENT, id);
  }
}

LRESULT PageWindow::scrollBoxMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL:
      onScroll(SB_VERT, wParam);
      return 0;
    case WM_HSCROLL:
      onScroll(SB_HORZ, wParam);
      return 0;
    case WM_MOUSEWHEEL:
      if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
        // Ctrl zooms, about the point under the pointer.
        if (onZoomWheel) {
          POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
          ScreenToClient(h, &at);
          onZoomWheel(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 1 : -1, at);
        }
      } else if (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) {
        // Shift turns the wheel into a sideways one, as in most viewers: away is left.
        wheel(SB_HORZ, GET_WHEEL_DELTA_WPARAM(wParam));
      } else {
        wheel(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam));
      }
      return 0;
    case WM_MOUSEHWHEEL:
      // A tilt to the right has a positive delta and moves the view right.
      wheel(SB_HORZ, -GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
    case WM_ERASEBKGND:
      fillClient(h, reinterpret_cast<HDC>(wParam), brush(GetSysColor(COLOR_APPWORKSPACE)));
      return 1;
    default:
      return DefWindowProcW(h, message, wParam, lParam);
  }
}

LRESULT PageWindow::sheetMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  const Component* sheet = componentOf(h);
  if (!sheet) return childDefault(h, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      paintSheet(h, *sheet);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint fills the sheet
    case WM_GETOBJECT:
      if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        return answerGetObject(h, *sheet, wParam);
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      return colorControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == h && LOWORD(lParam) == HTCLIENT) {
        sheetCursor(h, *sheet);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_CAPTURECHANGED:
      if (page_->takesPaperMouse(*sheet) && sheetDrag(h, *sheet, message, lParam)) return 0;
      break;
    default:
      break;
  }
  return childDefault(h, message, wParam, lParam);
}

// The graphic component under a point of the sheet takes the mouse there, as it would with a
// window of its own.
const Component* PageWindow::graphicAt(const Component& sheet, int x, int y) const {
  const Scale s = scale();
  return page_->model().graphicAt(sheet.name, s.toDesign(x), s.toDesign(y));
}

void PageWindow::sheetCursor(HWND h, const Component& sheet) {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(h, &p);
  const Component* under = graphicAt(sheet, p.x, p.y);
  if (under && under->cursor == Cursor::HandPoint) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
  } else {
    const bool own = sheet.cursor == Cursor::Sheet && sheetCursor_;
    SetCursor(own ? sheetCursor_ : LoadCursorW(nullptr, IDC_ARROW));
  }
}

// The page's Paper handlers, in sheet coordinates: a button pressed where no graphic takes it
// starts a drag, the pointer's moves scroll, the release or a lost capture ends it.
bool PageWindow::sheetDrag(HWND h, const Component& sheet, UINT message, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (graphicAt(sheet, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) return false;
      SetCapture(h);
      page_->PaperMouseDown(GET_Y_LPARAM(lParam));
      return true;
    case WM_MOUSEMOVE:
      if (auto to = page_->PaperMouseMove(GET_Y_LPARAM(lParam), scrollY_)) scrollTo(*to);
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (GetCapture() != h) return false;
      ReleaseCapture();
      page_->PaperMouseUp();
      return true;
    case WM_CAPTURECHANGED:
      // The button's release goes elsewhere once the capture is lost (a box, Alt+Tab): the
      // drag ends here, or moving the mouse with no button held would scroll the sheet.
      page_->PaperMouseUp();
      return true;
    default:
      return false;
  }
}

}  // namespace risview::ui
