#include "host/ui_win.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

#include "ui/component_query.h"

namespace risview::host {

namespace {

// How long a window's thread may take to answer one message. Long enough for a busy
// moment, short enough that a blocked thread fails the scenario rather than hangs it.
constexpr UINT kAnswerMs = 5000;

// A top-down 32-bit DIB section selected into a memory DC; it owns both.
class Dib {
 public:
  Dib(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (bitmap_) old_ = SelectObject(dc_, bitmap_);
  }
  ~Dib() {
    if (bitmap_) {
      SelectObject(dc_, old_);
      DeleteObject(bitmap_);
    }
    DeleteDC(dc_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  bool ready() const { return bitmap_ != nullptr; }
  HDC dc() const { return dc_; }
  // The pixels as 0x00RRGGBB, once GDI has finished drawing.
  std::vector<uint32_t> pixels() const {
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits_);
    return std::vector<uint32_t>(p, p + static_cast<size_t>(width_) * height_);
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

// One 32 x 32 rendering of an icon, for comparing icons whose handles differ.
std::vector<uint32_t> iconPixels(HICON icon) {
  constexpr int kSize = 32;
  Dib dib(kSize, kSize);
  if (!dib.ready()) return {};
  DrawIconEx(dib.dc(), 0, 0, icon, kSize, kSize, 0, nullptr, DI_NORMAL);
  return dib.pixels();
}

struct SystemIcon {
  const wchar_t* id;
  const char* name;
  unsigned style;
};
const std::array<SystemIcon, 4> kSystemIcons = {{
    {IDI_HAND, "error", MB_ICONHAND},
    {IDI_QUESTION, "question", MB_ICONQUESTION},
    {IDI_EXCLAMATION, "warning", MB_ICONEXCLAMATION},
    {IDI_ASTERISK, "information", MB_ICONASTERISK},
}};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK collectOwnWindow(HWND hwnd, LPARAM found) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId()) collectWindow(hwnd, found);
  return TRUE;
}

}  // namespace

std::wstring toWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string toUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

LRESULT ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &result)) {
    if (!IsWindow(hwnd)) return 0;  // gone meanwhile: nothing to read
    throw UiTimeout();
  }
  return static_cast<LRESULT>(result);
}

std::string className(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return toUtf8(name);
}

std::string windowText(HWND hwnd) {
  auto length = static_cast<size_t>(ask(hwnd, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  auto got =
      static_cast<size_t>(ask(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(got, length));
  return toUtf8(text);
}

std::string componentName(HWND hwnd) {
  // The property points to the name in the library's memory, in this same process.
  const auto* name = static_cast<const wchar_t*>(GetPropW(hwnd, L"RisviewName"));
  if (!name) return {};
  return toUtf8(std::wstring_view(name, wcsnlen(name, 256)));
}

std::vector<HWND> processWindows() {
  std::vector<HWND> found;
  EnumWindows(collectOwnWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool isMessageBox(HWND hwnd) {
  return className(hwnd) == "#32770";
}

std::vector<HWND> descendants(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(window, collectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

namespace {

Component fromWindow(HWND hwnd) {
  Component c;
  c.window = hwnd;
  c.name = componentName(hwnd);
  c.className = className(hwnd);
  c.text = windowText(hwnd);
  GetWindowRect(hwnd, &c.screen);
  c.visible = IsWindowVisible(hwnd) != FALSE;
  c.enabled = IsWindowEnabled(hwnd) != FALSE;
  return c;
}

// The report pages answer for the components they draw; the others are not asked.
bool isReportPage(HWND hwnd) {
  const std::string cls = className(hwnd);
  return cls.size() > 8 && cls.compare(cls.size() - 8, 8, "PrntPage") == 0;
}

std::optional<Component> askPage(HWND page, risview::ui::ComponentQuery& q) {
  static const UINT message = RegisterWindowMessageW(risview::ui::kComponentQueryMessage);
  if (!ask(page, message, 0, reinterpret_cast<LPARAM>(&q))) return std::nullopt;
  if (q.window) return fromWindow(q.window);
  Component c;
  c.name = q.answeredName ? q.answeredName : "";
  c.className = q.className ? q.className : "";
  c.text = q.text ? q.text : "";
  c.screen = q.rect;
  c.visible = q.visible != FALSE;
  c.enabled = q.enabled != FALSE;
  c.hasPicture = q.hasPicture != FALSE;
  c.pictureDrawn = q.pictureDrawn != FALSE;
  return c;
}

}  // namespace

std::optional<Component> findComponent(HWND window, std::string_view name, bool needWindow) {
  if (size_t slash = name.find('/'); slash != std::string_view::npos) {
    auto outer = findComponent(window, name.substr(0, slash), true);
    if (!outer || !outer->window) return std::nullopt;
    return findComponent(outer->window, name.substr(slash + 1), needWindow);
  }
  const std::vector<HWND> all = descendants(window);
  for (HWND child : all) {
    if (componentName(child) == name) return fromWindow(child);
  }
  const std::string wanted(name);
  std::vector<HWND> pages;
  if (isReportPage(window)) pages.push_back(window);
  for (HWND child : all) {
    if (isReportPage(child)) pages.push_back(child);
  }
  for (HWND page : pages) {
    risview::ui::ComponentQuery q;
    q.name = wanted.c_str();
    q.needWindow = needWindow;
    if (auto found = askPage(page, q)) return found;
  }
  return std::nullopt;
}

HWND findControl(HWND window, std::string_view name) {
  auto found = findComponent(window, name, true);
  return found ? found->window : nullptr;
}

std::vector<Component> pageComponents(HWND page) {
  std::vector<Component> drawn;
  for (int i = 0;; ++i) {
    risview::ui::ComponentQuery q;
    q.index = i;
    auto found = askPage(page, q);
    if (!found) break;
    if (!found->window) drawn.push_back(std::move(*found));
  }
  return drawn;
}

std::optional<Component> pageComponent(HWND page, const std::string& name) {
  risview::ui::ComponentQuery q;
  q.name = name.c_str();
  return askPage(page, q);
}

std::vector<Component> drawnComponents(HWND window) {
  std::vector<Component> drawn;
  for (HWND page : descendants(window)) {
    if (!isReportPage(page)) continue;
    std::vector<Component> more = pageComponents(page);
    drawn.insert(drawn.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
  }
  return drawn;
}

int picturesWaiting(HWND window) {
  std::vector<HWND> pages = descendants(window);
  pages.push_back(window);
  int waiting = 0;
  for (HWND page : pages) {
    if (!isReportPage(page)) continue;
    risview::ui::ComponentQuery q;
    if (askPage(page, q)) waiting += q.picturesWaiting;
  }
  return waiting;
}

Rect rectInClient(HWND control, HWND window) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

namespace {

// Which system icon a box shows, by handle or by its pixels; "other" for any other icon.
void nameIcon(HICON icon, BoxInfo& info) {
  info.icon = "none";
  if (!icon) return;
  info.icon = "other";
  std::vector<uint32_t> shown;
  for (const auto& system : kSystemIcons) {
    HICON candidate = LoadIconW(nullptr, system.id);
    bool same = candidate == icon;
    if (!same) {
      if (shown.empty()) shown = iconPixels(icon);
      same = !shown.empty() && iconPixels(candidate) == shown;
    }
    if (same) {
      info.icon = system.name;
      info.style |= system.style;
      return;
    }
  }
}

// The set of buttons a box has, as the MB_ constants name it, with its help button.
void nameButtons(BoxInfo& info) {
  std::vector<int> ids;
  bool help = false;
  for (const auto& [id, button] : info.buttonIds) {
    if (id == IDHELP) {
      help = true;
    } else {
      ids.push_back(id);
    }
  }
  std::sort(ids.begin(), ids.end());
  static const std::map<std::vector<int>, std::pair<const char*, unsigned>> sets = {
      {{IDOK}, {"ok", MB_OK}},
      {{IDOK, IDCANCEL}, {"okcancel", MB_OKCANCEL}},
      {{IDABORT, IDRETRY, IDIGNORE}, {"abortretryignore", MB_ABORTRETRYIGNORE}},
      {{IDCANCEL, IDYES, IDNO}, {"yesnocancel", MB_YESNOCANCEL}},
      {{IDYES, IDNO}, {"yesno", MB_YESNO}},
      {{IDCANCEL, IDRETRY}, {"retrycancel", MB_RETRYCANCEL}},
      {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, {"canceltrycontinue", MB_CANCELTRYCONTINUE}},
  };
  auto set = sets.find(ids);
  info.buttons = set == sets.end() ? "other" : set->second.first;
  if (set != sets.end()) info.style |= set->second.second;
  if (help) info.style |= MB_HELP;
}

}  // namespace

BoxInfo readMessageBox(HWND box) {
  BoxInfo info;
  info.caption = windowText(box);
  HICON icon = nullptr;
  std::vector<std::pair<int, HWND>> positioned;
  for (HWND child : descendants(box)) {
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if (!(style & WS_VISIBLE)) continue;
    std::string cls = className(child);
    if (cls == "Static") {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        icon = reinterpret_cast<HICON>(ask(child, STM_GETICON, 0, 0));
      } else {
        std::string text = windowText(child);
        if (!text.empty()) info.text += (info.text.empty() ? "" : "\n") + text;
      }
    } else if (cls == "Button") {
      RECT r{};
      GetWindowRect(child, &r);
      positioned.emplace_back(r.left, child);
    }
  }
  std::sort(positioned.begin(), positioned.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  int defaultIndex = -1;
  for (const auto& [x, button] : positioned) {
    if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      defaultIndex = static_cast<int>(info.buttonIds.size());
    }
    info.buttonIds.emplace_back(GetDlgCtrlID(button), button);
  }
  nameIcon(icon, info);
  nameButtons(info);
  if (defaultIndex > 0) info.style |= static_cast<unsigned>(defaultIndex) * MB_DEFBUTTON2;
  if (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) info.style |= MB_TOPMOST;
  return info;
}

int buttonId(std::string_view name) {
  static const std::map<std::string_view, int> ids = {
      {"ok", IDOK},       {"cancel", IDCANCEL},     {"abort", IDABORT},
      {"retry", IDRETRY}, {"ignore", IDIGNORE},     {"yes", IDYES},
      {"no", IDNO},       {"tryagain", IDTRYAGAIN}, {"continue", IDCONTINUE},
  };
  auto it = ids.find(name);
  return it == ids.end() ? 0 : it->second;
}

std::vector<ListColumn> listColumns(HWND list) {
  std::vector<ListColumn> columns;
  for (int i = 0;; ++i) {
    wchar_t text[256] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = 256;
    if (!ask(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column))) break;
    columns.push_back({toUtf8(text), column.cx});
  }
  return columns;
}

int listRowCount(HWND list) {
  return static_cast<int>(ask(list, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::string> listRow(HWND list, int row, int columns) {
  std::vector<std::string> texts;
  for (int c = 0; c < std::max(columns, 1); ++c) {
    std::wstring text(1024, L'\0');
    LVITEMW item{};
    item.iSubItem = c;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    auto n = static_cast<size_t>(ask(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    text.resize(std::min(n, text.size()));
    texts.push_back(toUtf8(text));
  }
  return texts;
}

std::vector<int> listSelection(HWND list) {
  std::vector<int> rows;
  int i = -1;
  while ((i = static_cast<int>(ask(list, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0) {
    rows.push_back(i);
  }
  return rows;
}

RECT listItemRect(HWND list, int row) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  ask(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  return r;
}

int listHeaderHeight(HWND list) {
  auto header = reinterpret_cast<HWND>(ask(list, LVM_GETHEADER, 0, 0));
  if (!header || !IsWindowVisible(header)) return 0;
  RECT r{};
  GetWindowRect(header, &r);
  return r.bottom - r.top;
}

std::vector<std::string> tabTexts(HWND tabs) {
  std::vector<std::string> texts;
  int count = static_cast<int>(ask(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    ask(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    texts.push_back(toUtf8(text));
  }
  return texts;
}

int tabSelection(HWND tabs) {
  return static_cast<int>(ask(tabs, TCM_GETCURSEL, 0, 0));
}

Picture captureWindow(HWND window) {
  // Painted now, from this thread: RDW_UPDATENOW sends the paint messages to the window's
  // thread and returns when they are handled, so the pixels below are current.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT r{};
  GetWindowRect(window, &r);
  Picture picture;
  picture.width = r.right - r.left;
  picture.height = r.bottom - r.top;
  if (picture.width <= 0 || picture.height <= 0) return picture;

  Dib dib(picture.width, picture.height);
  if (!dib.ready()) return picture;
  HDC source = GetWindowDC(window);
  BitBlt(dib.dc(), 0, 0, picture.width, picture.height, source, 0, 0, SRCCOPY);
  ReleaseDC(window, source);
  std::vector<uint32_t> pixels = dib.pixels();
  picture.rgb.resize(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    picture.rgb[i * 3] = static_cast<unsigned char>(pixels[i] >> 16);
    picture.rgb[i * 3 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
    picture.rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i]);
  }
  return picture;
}

}  // namespace risview::host
