#include "ui/page_win.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "platform/picture.h"
#include "ui/picture_win.h"
#include "ui/window_win.h"

namespace risview::ui {

namespace {

constexpr wchar_t kScrollBoxClass[] = L"TScrollBox";
constexpr wchar_t kSheetClass[] = L"TPrntSheet";
constexpr wchar_t kShapeClass[] = L"TShape";
constexpr wchar_t kImageClass[] = L"TImage";
constexpr int kLineStep = 20;

// A rich edit whose text fits shows no bar and would swallow the wheel without moving:
// the notch goes on to the sheet and its scroll box. Ctrl+wheel stays its own (zoom).
LRESULT richEditWheel(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  const bool sideways = message == WM_MOUSEHWHEEL;
  if ((sideways || message == WM_MOUSEWHEEL) && !(GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) &&
      (sideways || !(GetWindowLongPtrW(h, GWL_STYLE) & WS_VSCROLL))) {
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

PageWindow* owner(HWND h) {
  return reinterpret_cast<PageWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
}

void fillClient(HWND h, HDC dc, HBRUSH brush) {
  RECT r;
  GetClientRect(h, &r);
  FillRect(dc, &r, brush);
}

}  // namespace

// --- text metrics -------------------------------------------------------------------------

GdiTextMetrics::GdiTextMetrics() : dc_(win::counted(CreateCompatibleDC(nullptr))) {}

GdiTextMetrics::~GdiTextMetrics() {
  if (dc_) win::gdiFreed(DeleteDC(dc_) != FALSE);
}

HFONT GdiTextMetrics::select(const Font& font) const {
  for (const auto& [known, handle] : fonts_) {
    if (known == font) return static_cast<HFONT>(SelectObject(dc_, handle.get()));
  }
  LOGFONTW lf = logFont(font);
  fonts_.emplace_back(font, win::unique_font(win::counted(CreateFontIndirectW(&lf))));
  return static_cast<HFONT>(SelectObject(dc_, fonts_.back().second.get()));
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

struct PageWindow::Control {
  const Component* component = nullptr;
  std::unique_ptr<PictureImage> picture;  // decoded on first paint, at the control's size
  bool pictureFailed = false;
};

PageWindow::PageWindow(std::unique_ptr<pages::TPrntPage> page, HWND parent, const std::string& name)
    : page_(std::move(page)) {
  loadRichEdit();
  // Every procedure of the page runs its body under the one guard.
  // The page window's class is the page's own ("TMyPrntPage", ...), as site tools know it.
  const std::wstring pageClass = win::widen(page_->className());
  registerWindowClass(pageClass.c_str(), &guardedWindowProc<&PageWindow::pageMessage>);
  registerWindowClass(kScrollBoxClass, &guardedWindowProc<&PageWindow::scrollBoxMessage>);
  registerWindowClass(kSheetClass, &guardedWindowProc<&PageWindow::sheetMessage>);
  registerWindowClass(kShapeClass, &guardedWindowProc<&PageWindow::shapeMessage>);
  registerWindowClass(kImageClass, &guardedWindowProc<&PageWindow::imageMessage>);
  // A missing cursor file leaves the sheet with the default arrow.
  sheetCursor_ = LoadCursorFromFileW(L"hmove.cur");

  const FormDesc& form = page_->model().form();
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, pageClass.c_str(), win::widen(form.caption).c_str(),
                          WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, form.clientWidth,
                          form.clientHeight, parent, nullptr, win::thisModule(), nullptr);
  if (hwnd_ == nullptr) throw std::runtime_error("The report page window could not be created");
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  names_.name(hwnd_, name);
  createControls();
}

PageWindow::~PageWindow() {
  if (hwnd_) {
    // Children first lose their way back to this object, then go with the window.
    for (auto& [h, control] : controls_) SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    names_.clear();
    DestroyWindow(hwnd_);
  }
  if (sheetCursor_) DestroyCursor(sheetCursor_);
}

HFONT PageWindow::font(const Font& f) {
  for (const auto& [known, handle] : fonts_) {
    if (known == f) return handle.get();
  }
  LOGFONTW lf = logFont(f);
  fonts_.emplace_back(f, win::unique_font(win::counted(CreateFontIndirectW(&lf))));
  return fonts_.back().second.get();
}

HBRUSH PageWindow::brush(COLORREF color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second.get();
  return brushes_.emplace(color, win::unique_brush(win::counted(CreateSolidBrush(color))))
      .first->second.get();
}

PageWindow::Control* PageWindow::controlOf(HWND h) {
  auto it = controls_.find(h);
  return it == controls_.end() ? nullptr : it->second.get();
}

HWND PageWindow::control(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

// Parents are created before their children; among siblings a later component lies on top.
void PageWindow::createControls() {
  const PageModel& model = page_->model();
  HINSTANCE instance = win::thisModule();
  std::vector<std::pair<std::string, HWND>> pending{{"", hwnd_}};
  for (size_t next = 0; next < pending.size(); ++next) {
    const auto [parentName, parent] = pending[next];
    for (const Component* c : model.children(parentName)) {
      const Rect& r = c->rect;
      std::wstring text = win::widen(c->caption);
      DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (c->visible ? WS_VISIBLE : 0) |
                    (c->enabled ? 0 : WS_DISABLED);
      DWORD exStyle = 0;
      const wchar_t* cls = L"STATIC";
      switch (c->kind) {
        case Kind::ScrollBox:
          cls = kScrollBoxClass;
          style |= WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL;
          exStyle |= WS_EX_CONTROLPARENT;
          break;
        case Kind::Panel:
          cls = kSheetClass;
          style |= WS_CLIPCHILDREN;
          exStyle |= WS_EX_CONTROLPARENT;
          break;
        case Kind::Label:
          style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
          break;
        case Kind::Edit:
          cls = L"EDIT";
          style |= ES_AUTOHSCROLL | (c->readOnly ? ES_READONLY : 0);
          break;
        case Kind::RichEdit:
          cls = RICHEDIT_CLASSW;
          // The bar shows only when the text does not fit: a findings text is never cut
          // off without a sign that there is more.
          style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | (c->readOnly ? ES_READONLY : 0);
          break;
        case Kind::Shape:
          cls = kShapeClass;
          break;
        case Kind::Image:
          cls = kImageClass;
          break;
        default:
          break;
      }
      HWND h =
          CreateWindowExW(exStyle, cls, c->kind == Kind::RichEdit ? L"" : text.c_str(), style,
                          r.left, r.top, r.width, r.height, parent, nullptr, instance, nullptr);
      if (h == nullptr) continue;  // a control that cannot be made is left out, not the page
      auto control = std::make_unique<Control>();
      control->component = c;
      controls_[h] = std::move(control);
      byName_[c->name] = h;
      SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      names_.name(h, c->name);
      if (c->kind != Kind::Shape && c->kind != Kind::Image) {
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font(c->font)), FALSE);
      }
      switch (c->kind) {
        case Kind::ScrollBox:
          scrollBox_ = h;
          [[fallthrough]];
        case Kind::Panel:
        case Kind::Shape:
        case Kind::Image:
          SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
          break;
        case Kind::RichEdit: {
          SendMessageW(h, EM_SETTEXTMODE, TM_PLAINTEXT, 0);  // report texts are never RTF
          SetWindowSubclass(h, &guardedSubclassProc<&richEditWheel>, 1, 0);
          SendMessageW(h, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
          CHARFORMAT2W cf{};
          cf.cbSize = sizeof cf;
          cf.dwMask = CFM_COLOR;
          cf.crTextColor = c->font.color;
          SendMessageW(h, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
          // A rich edit takes 32,767 characters unless told otherwise and cuts the rest off
          // without a sign; a text beyond the shown limit ends with a line that says so.
          const std::wstring shown = win::widen(richTextShown(c->caption));
          SendMessageW(h, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(shown.size() + 1));
          SetWindowTextW(h, shown.c_str());
          break;
        }
        default:
          break;
      }
      if (c->kind == Kind::ScrollBox || c->kind == Kind::Panel) pending.emplace_back(c->name, h);
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

void PageWindow::bringToFront() {
  ShowWindow(hwnd_, SW_SHOW);
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
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

// A notch moves as many lines as the system's wheel setting says, or a whole page for a
// setting of one page; smaller deltas of fine-grained wheels move their share of that.
void PageWindow::wheel(int bar, int delta) {
  UINT lines = 3;
  if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) lines = 3;
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(scrollBox_, bar, &si);
  const long long notch = lines == WHEEL_PAGESCROLL ? static_cast<long long>(si.nPage)
                                                    : static_cast<long long>(lines) * kLineStep;
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
}

// The scroll ranges are the model's; a bar shows only when the box is smaller than its range.
// A bar that comes or goes changes the room the other has, so this runs until the box's
// client size holds still.
void PageWindow::updateScrollBars() {
  const Component* box = controlOf(scrollBox_) ? controlOf(scrollBox_)->component : nullptr;
  if (!box) return;
  const int ranges[2] = {box->scrollRange.horizontal, box->scrollRange.vertical};
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
  const int line = kLineStep;
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

COLORREF PageWindow::sheetColor(const Component& c) const {
  const Component* sheet = page_->model().find(c.parent);
  return sheet ? colorOf(sheet->color, GetSysColor(COLOR_WINDOW)) : GetSysColor(COLOR_WINDOW);
}

LRESULT PageWindow::colorStatic(HDC dc, HWND h) {
  Control* control = controlOf(h);
  COLORREF background = GetSysColor(COLOR_WINDOW);
  if (control) {
    const Component& c = *control->component;
    SetTextColor(dc, c.font.color);
    background = colorOf(c.color, sheetColor(c));
  }
  SetBkColor(dc, background);
  return reinterpret_cast<LRESULT>(brush(background));
}

LRESULT PageWindow::pageMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  PageWindow* self = owner(h);
  if (self && message == WM_SIZE && self->scrollBox_) {
    MoveWindow(self->scrollBox_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    self->updateScrollBars();
    return 0;
  }
  return DefWindowProcW(h, message, wParam, lParam);
}

LRESULT PageWindow::scrollBoxMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  PageWindow* self = owner(h);
  if (self) {
    switch (message) {
      case WM_VSCROLL:
        self->onScroll(SB_VERT, wParam);
        return 0;
      case WM_HSCROLL:
        self->onScroll(SB_HORZ, wParam);
        return 0;
      case WM_MOUSEWHEEL:
        // Shift turns the wheel into a sideways one, as in most viewers: away is left.
        if (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) {
          self->wheel(SB_HORZ, GET_WHEEL_DELTA_WPARAM(wParam));
        } else {
          self->wheel(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam));
        }
        return 0;
      case WM_MOUSEHWHEEL:
        // A tilt to the right has a positive delta and moves the view right.
        self->wheel(SB_HORZ, -GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
      case WM_ERASEBKGND:
        fillClient(h, reinterpret_cast<HDC>(wParam), self->brush(GetSysColor(COLOR_APPWORKSPACE)));
        return 1;
      default:
        break;
    }
  }
  return DefWindowProcW(h, message, wParam, lParam);
}

LRESULT PageWindow::sheetMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  PageWindow* self = owner(h);
  Control* control = self ? self->controlOf(h) : nullptr;
  if (control) {
    const Component& sheet = *control->component;
    // Only the first sheet drags; its events go to the page in sheet coordinates.
    const bool drags = sheet.name == "Paper";
    switch (message) {
      case WM_ERASEBKGND:
        fillClient(h, reinterpret_cast<HDC>(wParam),
                   self->brush(colorOf(sheet.color, GetSysColor(COLOR_WINDOW))));
        return 1;
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLOREDIT:
        return self->colorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == h && LOWORD(lParam) == HTCLIENT) {
          const bool own = sheet.cursor == Cursor::Sheet && self->sheetCursor_;
          SetCursor(own ? self->sheetCursor_ : LoadCursorW(nullptr, IDC_ARROW));
          return TRUE;
        }
        break;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        if (drags) {
          SetCapture(h);
          self->page_->PaperMouseDown(GET_Y_LPARAM(lParam));
          return 0;
        }
        break;
      case WM_MOUSEMOVE:
        if (drags) {
          if (auto to = self->page_->PaperMouseMove(GET_Y_LPARAM(lParam), self->scrollY_)) {
            self->scrollTo(*to);
          }
          return 0;
        }
        break;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
        if (drags) {
          if (GetCapture() == h) ReleaseCapture();
          self->page_->PaperMouseUp();
          return 0;
        }
        break;
      case WM_CAPTURECHANGED:
        // The button's release goes elsewhere once the capture is lost (a box, Alt+Tab): the
        // drag ends here, or moving the mouse with no button held would scroll the sheet.
        if (drags) {
          self->page_->PaperMouseUp();
          return 0;
        }
        break;
      default:
        break;
    }
  }
  return childDefault(h, message, wParam, lParam);
}

// A rectangle drawn with the shape's pen inside its bounds; the sheets' shapes are lines.
LRESULT PageWindow::shapeMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  PageWindow* self = owner(h);
  Control* control = self ? self->controlOf(h) : nullptr;
  if (control && message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    const Component& c = *control->component;
    const int pen = c.penWidth;
    win::unique_pen hpen(
        win::counted(CreatePen(pen > 0 ? PS_SOLID | PS_INSIDEFRAME : PS_NULL, pen, RGB(0, 0, 0))));
    HGDIOBJ oldPen = SelectObject(dc, hpen.get());
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    const int x = pen / 2;
    int w = c.rect.width - pen + 1, hgt = c.rect.height - pen + 1;
    if (pen == 0) --w, --hgt;
    Rectangle(dc, x, x, x + w, x + hgt);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    EndPaint(h, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return childDefault(h, message, wParam, lParam);
}

// The picture is decoded the first time it is drawn, at the size it is drawn; one that
// cannot be decoded leaves its place blank.
LRESULT PageWindow::imageMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  PageWindow* self = owner(h);
  Control* control = self ? self->controlOf(h) : nullptr;
  if (control) {
    const Component& c = *control->component;
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        FillRect(dc, &r, self->brush(self->sheetColor(c)));
        if (!control->picture && !control->pictureFailed && !c.file.empty()) {
          try {
            // An unstretched picture is shown at its natural size: only what its box shows is kept.
            control->picture = PictureImage::load(win::widen(c.file), pictureTypeOf(c.file),
                                                  r.right, r.bottom, c.stretch);
          } catch (const std::exception&) {
            control->pictureFailed = true;
          }
        }
        if (control->picture) control->picture->draw(dc, r, c.stretch);
        EndPaint(h, &ps);
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_SETCURSOR:
        if (c.cursor == Cursor::HandPoint) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
        break;
      default:
        break;
    }
  }
  return childDefault(h, message, wParam, lParam);
}

}  // namespace risview::ui
