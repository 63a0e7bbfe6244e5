#include "ui/form_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <exception>
#include <optional>

#include "model/zoom.h"
#include "platform/message_pump_win.h"
#include "ui/window_win.h"

namespace risview::ui {

using namespace model;

namespace {

constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr int kFirstControlId = 100;

// The mnemonic character of a caption ("打开(&O)" gives 'o'), or 0.
wchar_t mnemonic(const std::wstring& caption) {
  size_t amp = caption.find(L'&');
  if (amp == std::wstring::npos || amp + 1 >= caption.size()) return 0;
  return static_cast<wchar_t>(towlower(caption[amp + 1]));
}

}  // namespace

FormWindow::FormWindow(const FormDesc& desc, const Services& services, HWND owner)
    : design_(desc),
      desc_(scaled(desc, Scale::percent(services.displayPercent))),
      scale_(Scale::percent(services.displayPercent)),
      services_(services) {
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                             ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)commonControls;
  HINSTANCE instance = win::thisModule();
  std::wstring className = win::widen(desc_.className);
  WindowClass<FormWindow, &FormWindow::windowMessage>::registerAs(className.c_str());
  WindowClass<FormWindow, &FormWindow::panelMessage>::registerAs(kPanelClass);

  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  style |= desc_.sizeable ? WS_THICKFRAME : DS_MODALFRAME;
  DWORD exStyle = desc_.sizeable ? 0 : WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, desc_.clientWidth, desc_.clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  Rect placed = placeWindow(desc_, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            (frame.right - frame.left) - desc_.clientWidth,
                            (frame.bottom - frame.top) - desc_.clientHeight);
  background_.reset(
      win::counted(CreateSolidBrush(colorOf(desc_.color, GetSysColor(COLOR_BTNFACE)))));
  // The window is this object's from its first message on (windowMessage takes hwnd_ then).
  hwnd_ = CreateWindowExW(exStyle, className.c_str(), win::widen(desc_.caption).c_str(), style,
                          placed.left, placed.top, placed.width, placed.height, owner, nullptr,
                          instance, this);
  if (hwnd_ == nullptr)
    throw std::runtime_error("The window " + desc_.name + " could not be created");
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font(desc_.font)), FALSE);
  createControls();
  relayout();  // the window's real client size, which a sizeable frame may change
}

FormWindow::~FormWindow() {
  if (hwnd_) {
    unbindWindow(hwnd_);
    names_.clear();
    DestroyWindow(hwnd_);
  }
}

HFONT FormWindow::font(const Font& f) {
  return fonts_.get(f.face.empty() ? desc_.font : f);
}

void FormWindow::createControls() {
  HINSTANCE instance = win::thisModule();
  std::map<std::string, Rect> rects = layout(desc_);
  int id = kFirstControlId;
  for (const auto& c : desc_.components) {
    if (c.kind == Kind::ToolButton) {
      createToolButton(c);
      continue;
    }
    // Forms hold windowed controls only: nothing of theirs is drawn by a sheet.
    const Realisation how = realisationOf(c, kPanelClass);
    if (!how.windowClass) continue;
    HWND parent = c.parent.empty() ? hwnd_ : control(c.parent);
    const Rect& r = rects[c.name];
    // A panel's window is this object's (panelMessage); the system's controls take nothing.
    void* answeredBy = c.kind == Kind::Panel ? this : nullptr;
    HWND h =
        CreateWindowExW(how.exStyle, how.windowClass, win::widen(c.caption).c_str(), how.style,
                        r.left, r.top, r.width, r.height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, answeredBy);
    if (h == nullptr) throw std::runtime_error("The control " + c.name + " could not be created");
    controls_[c.name] = h;
    names_.name(h, c.name);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font(c.font)), FALSE);

    if (c.kind == Kind::ListView) {
      ListView_SetExtendedListViewStyle(h, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
      int index = 0;
      for (const auto& column : c.columns) {
        std::wstring text = win::widen(column.caption);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.fmt = column.align == TextAlign::Center  ? LVCFMT_CENTER
                  : column.align == TextAlign::Right ? LVCFMT_RIGHT
                                                     : LVCFMT_LEFT;
        col.cx = column.width;
        col.pszText = text.data();
        ListView_InsertColumn(h, index++, &col);
      }
      SetWindowSubclass(h, &guardedSubclassProc<&FormWindow::keySubclassMessage>, 1,
                        reinterpret_cast<DWORD_PTR>(this));
    } else if (c.kind == Kind::ToolBar) {
      SendMessageW(h, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
      SendMessageW(h, TB_SETBITMAPSIZE, 0, MAKELPARAM(32, 32));
      SendMessageW(h, TB_SETBUTTONSIZE, 0, MAKELPARAM(scale_(39), scale_(38)));
    } else if (c.kind == Kind::ProgressBar) {
      SendMessageW(h, PBM_SETRANGE32, 0, 100);
    }
  }
}

void FormWindow::createToolButton(const ComponentDesc& c) {
  HWND bar = control(c.parent);
  if (bar == nullptr) return;
  const int id = kFirstControlId + 1000 + static_cast<int>(toolButtons_.size());
  toolButtons_[id] = c.name;
  TBBUTTON button{};
  button.iBitmap = c.imageIndex;
  button.idCommand = id;
  button.fsState = static_cast<BYTE>(TBSTATE_ENABLED | (c.visible ? 0 : TBSTATE_HIDDEN));
  button.fsStyle = BTNS_BUTTON;
  button.iString = -1;
  SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
}

void FormWindow::setToolImages(const std::string& toolBar, HIMAGELIST images) {
  if (HWND bar = control(toolBar)) {
    SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(scale_(39), scale_(38)));
  }
}

void FormWindow::relayout() {
  RECT client;
  GetClientRect(hwnd_, &client);
  std::map<std::string, Rect> rects = layout(desc_, client.right, client.bottom);
  for (const auto& c : desc_.components) {
    if (c.align == Align::None || c.kind == Kind::ToolButton) continue;
    const Rect& r = rects[c.name];
    if (HWND h = control(c.name)) MoveWindow(h, r.left, r.top, r.width, r.height, TRUE);
  }
}

void FormWindow::takeScale(int dpi, const RECT& suggested) {
  const int percent = dpi > 0 ? MulDiv(dpi, 100, 96) : 100;
  scale_ = Scale::percent(percent);
  desc_ = scaled(design_, scale_);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font(desc_.font)), FALSE);
  // Controls that are not aligned stand where their rectangles say; the aligned ones follow
  // the new client area below.
  std::map<std::string, Rect> rects = layout(desc_);
  for (const auto& c : desc_.components) {
    HWND h = control(c.name);
    if (h == nullptr) continue;
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font(c.font)), TRUE);
    if (c.align == Align::None) {
      const Rect& r = rects[c.name];
      MoveWindow(h, r.left, r.top, r.width, r.height, TRUE);
    }
    if (c.kind == Kind::ListView) {
      for (size_t i = 0; i < c.columns.size(); ++i) {
        ListView_SetColumnWidth(h, static_cast<int>(i), c.columns[i].width);
      }
    } else if (c.kind == Kind::ToolBar) {
      SendMessageW(h, TB_SETBUTTONSIZE, 0, MAKELPARAM(scale_(39), scale_(38)));
    }
  }
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  relayout();
  if (onScaleChange) guarded([&] { onScaleChange(percent); });
  if (onResize) guarded(onResize);
}

RECT FormWindow::freeClientArea() const {
  RECT client;
  GetClientRect(hwnd_, &client);
  Rect r = layout(desc_, client.right, client.bottom)[""];
  return {r.left, r.top, r.right(), r.bottom()};
}

void FormWindow::onChange(const std::string& name, std::function<void()> handler) {
  changes_[name] = std::move(handler);
}

HWND FormWindow::control(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

std::string FormWindow::nameOf(HWND h) const {
  for (const auto& [name, control] : controls_) {
    if (control == h) return name;
  }
  return {};
}

void FormWindow::onClick(const std::string& name, std::function<void()> handler) {
  clicks_[name] = std::move(handler);
}
void FormWindow::onDblClick(const std::string& name, std::function<void()> handler) {
  dblClicks_[name] = std::move(handler);
}
void FormWindow::onKeyPress(const std::string& name, std::function<bool(wchar_t)> handler) {
  keyPresses_[name] = std::move(handler);
}

void FormWindow::guarded(const std::function<void()>& handler) {
  if (!handler) return;
  try {
    handler();
  } catch (const RunEnded&) {
    // Closed while it waited: the run is over, there is nothing to tell.
  } catch (const std::exception& e) {
    services_.boxes.show(e.what(), services_.applicationTitle, mb::kOk | mb::kIconHand,
                         reinterpret_cast<WindowRef>(hwnd_));
  } catch (...) {
    services_.boxes.show("Unknown error", services_.applicationTitle, mb::kOk | mb::kIconHand,
                         reinterpret_cast<WindowRef>(hwnd_));
  }
}

void FormWindow::close() {
  closed_ = true;
  // Closed while a step waits: the step ends the run once it returns.
  if (waitsOf(services_).endRun()) endedRun_ = true;
}

void FormWindow::showModal() {
  // A window closed while its loading waited is not shown; nor is any once the run it
  // belongs to was ended.
  Waits& waits = waitsOf(services_);
  closed_ = endedRun_ || waits.ended();
  // As a modal run does: the thread's other windows, the host's among them, take no input
  // until it ends, so nothing can start a second run under this one.
  std::optional<win::ThreadWindowsDisabled> others(
      std::in_place, win::ThreadWindowsDisabled::Spared{.modal = hwnd_});
  if (!closed_) guarded(onShow);
  if (!closed_) {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    for (const auto& c : desc_.components) {
      if (c.kind == Kind::ListView || c.kind == Kind::Button) {
        SetFocus(control(c.name));
        break;
      }
    }
  }
  // A quit ends the run and is left to the host's loop.
  win::pumpMessages({.until = win::PumpRules::Until::Ended,
                     .over = [this] { return closed_; },
                     .preTranslate = [this](const MSG& msg) { return preTranslate(msg); }});
  // The other windows come back before this one goes, so that the owner is activated.
  others.reset();
  ShowWindow(hwnd_, SW_HIDE);
  // The run this window's close ended is over: what follows runs again.
  if (endedRun_) waits.resumeRuns();
  endedRun_ = false;
}

// Keyboard interface of the form: Tab moves between controls, Alt+letter presses the
// button whose caption underlines that letter.
bool FormWindow::preTranslate(const MSG& msg) {
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
  if (msg.message == WM_KEYDOWN && keyDown_) {
    bool consumed = false;
    guarded([&] {
      consumed = keyDown_(msg.wParam, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0);
    });
    if (consumed) return true;
  }
  if ((msg.message == WM_MOUSEWHEEL || msg.message == WM_MOUSEHWHEEL) && wheelFollowsPointer_) {
    const POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    HWND under = WindowFromPoint(at);
    if (under && under != msg.hwnd && IsChild(hwnd_, under) &&
        GetWindowThreadProcessId(under, nullptr) == GetCurrentThreadId()) {
      SendMessageW(under, msg.message, msg.wParam, msg.lParam);
      return true;
    }
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
    HWND next = GetNextDlgTabItem(hwnd_, GetFocus(), GetKeyState(VK_SHIFT) < 0);
    if (next) SetFocus(next);
    return true;
  }
  if (msg.message == WM_SYSCHAR) {
    wchar_t key = static_cast<wchar_t>(towlower(static_cast<wint_t>(msg.wParam)));
    for (const auto& c : desc_.components) {
      if (c.kind == Kind::Button && mnemonic(win::widen(c.caption)) == key &&
          IsWindowEnabled(control(c.name)) && IsWindowVisible(control(c.name))) {
        fire(clicks_, c.name);
        return true;
      }
    }
  }
  return false;
}

void FormWindow::onKeyDown(std::function<bool(WPARAM, bool, bool)> handler) {
  keyDown_ = std::move(handler);
}

LRESULT FormWindow::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) hwnd_ = hwnd;  // before CreateWindowExW returns it
  return handle(message, wParam, lParam);
}

LRESULT FormWindow::panelMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return handle(message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, background_.get());
      DrawEdge(reinterpret_cast<HDC>(wParam), &r, BDR_RAISEDINNER | BDR_SUNKENOUTER, BF_RECT);
      return 1;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT FormWindow::keySubclassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
  return reinterpret_cast<FormWindow*>(data)->keyMessage(hwnd, message, wParam, lParam);
}

LRESULT FormWindow::keyMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  FormWindow* self = this;
  if (message == WM_CHAR) {
    auto it = self->keyPresses_.find(self->nameOf(hwnd));
    if (it != self->keyPresses_.end()) {
      bool consumed = false;
      self->guarded([&] { consumed = it->second(static_cast<wchar_t>(wParam)); });
      if (consumed) return 0;
    }
  } else if (message == WM_GETDLGCODE) {
    return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTALLKEYS;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void FormWindow::fire(const std::map<std::string, std::function<void()>>& handlers,
                      const std::string& name) {
  auto it = handlers.find(name);
  if (it != handlers.end()) guarded(it->second);
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      close();
      // A close sent from another thread is handled inside GetMessageW, which returns only
      // for a posted message: this one lets the run see that it has ended.
      PostMessageW(hwnd_, WM_NULL, 0, 0);
      return 0;
    case WM_SETCURSOR:
      if (win::waitInProgress()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd_, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, background_.get());
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(background_.get());
    case WM_SIZE:
      relayout();
      if (onResize) guarded(onResize);
      return 0;
    case WM_DPICHANGED:
      if (lParam) takeScale(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_COMMAND:
      if (command(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY:
      if (std::optional<LRESULT> answered = notify(lParam)) return *answered;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool FormWindow::command(WPARAM wParam, LPARAM lParam) {
  if (auto tool = toolButtons_.find(LOWORD(wParam)); tool != toolButtons_.end()) {
    fire(clicks_, tool->second);
    return true;
  }
  if (lParam == 0) return false;
  switch (HIWORD(wParam)) {
    case BN_CLICKED:
      fire(clicks_, nameOf(reinterpret_cast<HWND>(lParam)));
      return true;
    case CBN_SELCHANGE:
      fire(changes_, nameOf(reinterpret_cast<HWND>(lParam)));
      return true;
    default:
      return false;
  }
}

std::optional<LRESULT> FormWindow::notify(LPARAM lParam) {
  const NMHDR& hdr = *reinterpret_cast<const NMHDR*>(lParam);
  switch (hdr.code) {
    // Columns keep the widths of the form description.
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
      return TRUE;
    case TCN_SELCHANGE:
      fire(changes_, nameOf(hdr.hwndFrom));
      return 0;
    case TBN_GETINFOTIPW: {
      auto& tip = *reinterpret_cast<NMTBGETINFOTIPW*>(lParam);
      auto tool = toolButtons_.find(tip.iItem);
      if (tool != toolButtons_.end() && tip.pszText && tip.cchTextMax > 0) {
        std::wstring hint = win::widen(desc_.component(tool->second).hint);
        wcsncpy(tip.pszText, hint.c_str(), tip.cchTextMax - 1);
        tip.pszText[tip.cchTextMax - 1] = 0;
      }
      return 0;
    }
    case NM_DBLCLK:
      fire(dblClicks_, nameOf(hdr.hwndFrom));
      return 0;
    default:
      return std::nullopt;
  }
}

}  // namespace risview::ui
