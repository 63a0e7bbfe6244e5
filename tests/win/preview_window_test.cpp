// The preview window as a real window: its tabs, the page in front, and that closing it
// leaves nothing behind. A thread timer acts inside the window's modal run.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <functional>
#include <string>
#include <vector>

#include "data/data_module.h"
#include "platform/win32.h"
#include "preview/preview_win.h"
#include "support/report_fixture.h"
#include "ui/window_win.h"

namespace risview::preview {
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;

struct Seen {
  std::vector<std::string> tabs;
  int selected = -1;
  bool lastPageInFront = false;
  bool firstPageInFrontAfterChange = false;
  int scrolledTop = 0, scrolledTopAfterSwitching = 0;
  // Without printing asked for: the images of the shown tool buttons, the tool bar's width
  // and whether the progress bar stands beside it.
  std::vector<int> toolImages;
  int toolBarWidth = 0;
  bool progressShown = false;
};
Seen seen;
int cycles = 0;

// The component name a window carries ("Page1" for the first page of the preview).
std::string nameOf(HWND h) {
  const wchar_t* text = ui::componentNameOf(h);
  return text ? win::narrow(text) : std::string();
}

HWND childOfClass(HWND parent, const wchar_t* cls) {
  return FindWindowExW(parent, nullptr, cls, nullptr);
}

// The top of a page's first sheet in its scroll box.
int sheetTop(HWND page) {
  HWND sheet = childOfClass(childOfClass(page, L"TScrollBox"), L"TPrntSheet");
  RECT r;
  GetWindowRect(sheet, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(sheet), reinterpret_cast<POINT*>(&r), 2);
  return r.top;
}

void selectTab(HWND preview, HWND tabs, int index) {
  TabCtrl_SetCurSel(tabs, index);
  NMHDR change{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(preview, WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
}

// Looks at the open preview, switches to the first tab, and closes the window.
void CALLBACK inspectAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  HWND preview = FindWindowW(L"TMyPrintPageControl", nullptr);
  if (!preview || !IsWindowVisible(preview)) return;
  KillTimer(nullptr, id);
  ++cycles;
  HWND tabs = FindWindowExW(preview, nullptr, WC_TABCONTROLW, nullptr);
  seen = {};
  for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
    wchar_t text[64] = L"";
    TCITEMW item{TCIF_TEXT};
    item.pszText = text;
    item.cchTextMax = 64;
    TabCtrl_GetItem(tabs, i, &item);
    seen.tabs.push_back(win::narrow(text));
  }
  seen.selected = TabCtrl_GetCurSel(tabs);
  HWND panel = FindWindowExW(preview, nullptr, L"TPanel", nullptr);
  HWND bar = FindWindowExW(panel, nullptr, TOOLBARCLASSNAMEW, nullptr);
  for (int i = 0; i < SendMessageW(bar, TB_BUTTONCOUNT, 0, 0); ++i) {
    TBBUTTON button{};
    SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    if (!(button.fsState & TBSTATE_HIDDEN)) seen.toolImages.push_back(button.iBitmap);
  }
  RECT barRect{};
  GetWindowRect(bar, &barRect);
  seen.toolBarWidth = barRect.right - barRect.left;
  HWND progress = FindWindowExW(panel, nullptr, PROGRESS_CLASSW, nullptr);
  seen.progressShown = progress && IsWindowVisible(progress);
  seen.lastPageInFront = nameOf(GetTopWindow(preview)) == "Page3";
  // The third page, scrolled down a screen, keeps its place while another is in front.
  HWND third = GetTopWindow(preview);
  SendMessageW(childOfClass(third, L"TScrollBox"), WM_VSCROLL, SB_PAGEDOWN, 0);
  seen.scrolledTop = sheetTop(third);
  selectTab(preview, tabs, 0);
  seen.firstPageInFrontAfterChange = nameOf(GetTopWindow(preview)) == "Page1";
  selectTab(preview, tabs, 2);
  seen.scrolledTopAfterSwitching = sheetTop(third);
  PostMessageW(preview, WM_CLOSE, 0, 0);
}

BOOL CALLBACK countChild(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

BOOL CALLBACK countTopLevel(HWND h, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  EnumChildWindows(h, &countChild, counter);
  return TRUE;
}

int windowsOfThisThread() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), &countTopLevel, reinterpret_cast<LPARAM>(&count));
  return count;
}

TEST(PreviewWindow, ThreePagesTabbedLastInFrontAndNothingLeftWhenClosed) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.request();
  fx.report({{"ReportID", "2"}});
  fx.report({{"ReportID", "3"}});
  fx.services.env.files["C:\\work\\RisOption.ini"] =
      "[RISDATASET]\nSERVER=x\nDataBaseName=" + fx.db.database() + "\nDriver=SQLite3\n";
  data::TdmRIS dm(fx.view);

  const int before = windowsOfThisThread();
  for (int i = 0; i < 20; ++i) {
    SetTimer(nullptr, 0, 20, &inspectAndClose);
    ShowReportPreview(fx.view, dm, "R1", nullptr);
    EXPECT_EQ(FindWindowW(L"TMyPrintPageControl", nullptr), nullptr) << "cycle " << i;
  }
  EXPECT_EQ(cycles, 20);
  EXPECT_EQ(seen.tabs, (std::vector<std::string>{"  第 一 页", "  第 二 页", "  第 三 页"}));
  EXPECT_EQ(seen.selected, 2);
  EXPECT_TRUE(seen.lastPageInFront);
  // The tool bar as it is without printing: the close button alone, 39 pixels, and the
  // progress bar beside it.
  EXPECT_EQ(seen.toolImages, std::vector<int>{6});
  EXPECT_EQ(seen.toolBarWidth, 39);
  EXPECT_TRUE(seen.progressShown);
  EXPECT_TRUE(seen.firstPageInFrontAfterChange);
  EXPECT_LT(seen.scrolledTop, 4 - 100);
  EXPECT_EQ(seen.scrolledTopAfterSwitching, seen.scrolledTop);
  EXPECT_EQ(windowsOfThisThread(), before);
}

// Keys posted to the tab control as a user types them, one a timer tick; each step checks
// what the one before did. Modifiers are held through the thread's keyboard state.
struct KeyStep {
  const char* what;
  UINT key;
  bool ctrl, shift;
  std::function<bool(HWND preview)> after;
  bool toRichEdit = false;  // posted to the sheet's first rich edit, not the tab control
};

HWND boxInFront(HWND preview) {
  return childOfClass(GetTopWindow(preview), L"TScrollBox");
}

int positionInFront(HWND preview) {
  return GetScrollPos(boxInFront(preview), SB_VERT);
}

int sideways(HWND preview) {
  return GetScrollPos(boxInFront(preview), SB_HORZ);
}

// The first rich edit of the sheet in front that has a text.
HWND richEditInFront(HWND preview) {
  HWND sheet = childOfClass(boxInFront(preview), L"TPrntSheet");
  for (HWND h = childOfClass(sheet, RICHEDIT_CLASSW); h;
       h = FindWindowExW(sheet, h, RICHEDIT_CLASSW, nullptr)) {
    if (GetWindowTextLengthW(h) > 0) return h;
  }
  return nullptr;
}

int sheetWidth(HWND preview) {
  RECT r;
  GetWindowRect(childOfClass(boxInFront(preview), L"TPrntSheet"), &r);
  return r.right - r.left;
}

int boxHeight(HWND preview) {
  RECT r;
  GetClientRect(boxInFront(preview), &r);
  return r.bottom;
}

bool inFront(HWND preview, const char* page, int tab) {
  HWND tabs = FindWindowExW(preview, nullptr, WC_TABCONTROLW, nullptr);
  return nameOf(GetTopWindow(preview)) == page && TabCtrl_GetCurSel(tabs) == tab;
}

int wheelLines() {
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  return static_cast<int>(lines);
}

const std::vector<KeyStep> keySteps = {
    {"Page Down moves one box height", VK_NEXT, false, false,
     [](HWND p) { return positionInFront(p) == boxHeight(p); }},
    {"Down moves one line", VK_DOWN, false, false,
     [](HWND p) { return positionInFront(p) == boxHeight(p) + 20; }},
    {"Page Up moves one box height back", VK_PRIOR, false, false,
     [](HWND p) { return positionInFront(p) == 20; }},
    {"Up moves one line back", VK_UP, false, false, [](HWND p) { return positionInFront(p) == 0; }},
    {"Right moves one line sideways", VK_RIGHT, false, false,
     [](HWND p) { return sideways(p) == 20; }},
    {"Left moves one line back sideways", VK_LEFT, false, false,
     [](HWND p) { return sideways(p) == 0; }},
    {"Shift+End in a rich edit selects there and leaves the page", VK_END, false, true,
     [](HWND p) {
       CHARRANGE selected{};
       SendMessageW(richEditInFront(p), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
       return positionInFront(p) == 0 && selected.cpMax > selected.cpMin;
     },
     true},
    {"Ctrl+\"+\" zooms in a step", VK_OEM_PLUS, true, false,
     [](HWND p) { return sheetWidth(p) == 874; }},  // 110%
    {"Ctrl+\"-\" zooms out a step", VK_SUBTRACT, true, false,
     [](HWND p) { return sheetWidth(p) == 794; }},
    {"Ctrl+\"-\" below the default", VK_OEM_MINUS, true, false,
     [](HWND p) { return sheetWidth(p) < 794; }},
    {"Ctrl+0 goes back to the default", '0', true, false,
     [](HWND p) { return sheetWidth(p) == 794; }},
    {"End reaches the bottom", VK_END, false, false,
     [](HWND p) {
       SCROLLINFO si{sizeof si, SIF_ALL};
       GetScrollInfo(boxInFront(p), SB_VERT, &si);
       return si.nPos > 0 && si.nPos == si.nMax - static_cast<int>(si.nPage) + 1;
     }},
    {"Home returns to the top", VK_HOME, false, false,
     [](HWND p) { return positionInFront(p) == 0; }},
    {"Ctrl+Tab wraps to the first tab", VK_TAB, true, false,
     [](HWND p) { return inFront(p, "Page1", 0); }},
    {"Ctrl+Shift+Tab wraps back to the last", VK_TAB, true, true,
     [](HWND p) { return inFront(p, "Page3", 2); }},
    {"Ctrl+Page Up goes to the previous tab", VK_PRIOR, true, false,
     [](HWND p) { return inFront(p, "Page2", 1); }},
    {"Ctrl+Page Down goes to the next tab", VK_NEXT, true, false,
     [](HWND p) { return inFront(p, "Page3", 2); }},
    {"Escape closes", VK_ESCAPE, false, false, nullptr},
};
size_t keyStep = 0;
std::vector<std::string> keyFailures;
int wheelOverSheetMoved = -1;

void holdModifiers(bool ctrl, bool shift) {
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
}

void CALLBACK typeKeys(HWND, UINT, UINT_PTR id, DWORD) {
  HWND preview = FindWindowW(L"TMyPrintPageControl", nullptr);
  if (!preview || !IsWindowVisible(preview)) return;
  if (keyStep == 0) {
    // Low enough that a page down and a line more stay short of the bottom.
    SetWindowPos(preview, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    // A notch sent to the sheet, a rich edit whose text fits, or its sideways forms, reaches
    // the scroll box.
    HWND box = boxInFront(preview);
    HWND sheet = childOfClass(box, L"TPrntSheet");
    HWND fitting = nullptr;
    for (HWND h = childOfClass(sheet, RICHEDIT_CLASSW); h && !fitting;
         h = FindWindowExW(sheet, h, RICHEDIT_CLASSW, nullptr)) {
      if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_VSCROLL)) fitting = h;
    }
    struct Notch {
      const char* what;
      HWND to;
      UINT message;
      WPARAM wParam;
      int bar;
    };
    const Notch notches[] = {
        {"a notch down on the sheet", sheet, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), SB_VERT},
        {"a notch down on a fitting rich edit", fitting, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA),
         SB_VERT},
        {"a tilt right on the sheet", sheet, WM_MOUSEHWHEEL, MAKEWPARAM(0, WHEEL_DELTA), SB_HORZ},
        {"Shift and a notch down on the sheet", sheet, WM_MOUSEWHEEL,
         MAKEWPARAM(MK_SHIFT, -WHEEL_DELTA), SB_HORZ},
    };
    for (const Notch& n : notches) {
      SendMessageW(box, WM_VSCROLL, SB_TOP, 0);
      SendMessageW(box, WM_HSCROLL, SB_LEFT, 0);
      SCROLLINFO si{sizeof si, SIF_ALL};
      GetScrollInfo(box, n.bar, &si);
      const int limit = si.nMax - static_cast<int>(si.nPage) + 1;
      if (n.to) SendMessageW(n.to, n.message, n.wParam, 0);
      if (!n.to || GetScrollPos(box, n.bar) != std::min(limit, wheelLines() * 20)) {
        keyFailures.push_back(n.what);
      }
    }
    SendMessageW(box, WM_HSCROLL, SB_LEFT, 0);
    SendMessageW(box, WM_VSCROLL, SB_TOP, 0);
    // Posted to the focus, the tab control, with the pointer over the sheet.
    RECT r;
    GetWindowRect(sheet, &r);
    RECT shown;
    GetWindowRect(box, &shown);
    const POINT at{r.left + 10, std::max(r.top, shown.top) + 10};
    PostMessageW(FindWindowExW(preview, nullptr, WC_TABCONTROLW, nullptr), WM_MOUSEWHEEL,
                 MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(at.x, at.y));
    ++keyStep;
    return;
  }
  if (keyStep == 1) {
    wheelOverSheetMoved = positionInFront(preview);
    SendMessageW(boxInFront(preview), WM_VSCROLL, SB_TOP, 0);
  } else if (keyStep - 2 < keySteps.size()) {
    const KeyStep& done = keySteps[keyStep - 2];
    holdModifiers(false, false);
    if (done.after && !done.after(preview)) keyFailures.push_back(done.what);
  }
  if (keyStep - 1 >= keySteps.size()) {
    // Escape did not close the window.
    KillTimer(nullptr, id);
    keyFailures.push_back(keySteps.back().what);
    PostMessageW(preview, WM_CLOSE, 0, 0);
    return;
  }
  const KeyStep& next = keySteps[keyStep - 1];
  holdModifiers(next.ctrl, next.shift);
  HWND to = next.toRichEdit ? richEditInFront(preview)
                            : FindWindowExW(preview, nullptr, WC_TABCONTROLW, nullptr);
  PostMessageW(to, WM_KEYDOWN, next.key, 1);
  PostMessageW(to, WM_KEYUP, next.key, 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
  ++keyStep;
}

TEST(PreviewWindow, KeysScrollThePageInFrontSwitchTabsAndClose) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.request();
  fx.report({{"ReportID", "2"}});
  fx.report({{"ReportID", "3"}, {"ImageFinding", "双肺纹理清晰。"}});
  fx.services.env.files["C:\\work\\RisOption.ini"] =
      "[RISDATASET]\nSERVER=x\nDataBaseName=" + fx.db.database() + "\nDriver=SQLite3\n";
  data::TdmRIS dm(fx.view);

  const UINT_PTR timer = SetTimer(nullptr, 0, 30, &typeKeys);
  ShowReportPreview(fx.view, dm, "R1", nullptr);
  KillTimer(nullptr, timer);
  holdModifiers(false, false);
  EXPECT_EQ(keyStep, keySteps.size() + 1) << "Escape closes";
  EXPECT_EQ(keyFailures, std::vector<std::string>{});
  EXPECT_EQ(wheelOverSheetMoved, wheelLines() * 20);
}

// What a DPI-aware host on a 144-dpi monitor sees: the frame, its tool bar, the tab font and
// the sheet in front at 150%; and at 100% once the window is dragged onto a 96-dpi monitor
// (WM_DPICHANGED with the rectangle the system suggests): the sheet keeps its size on paper.
struct Scaled {
  RECT client{}, paper{};
  int buttonWidth = 0, tabFontHeight = 0;
};
Scaled scaledSeen, movedSeen;

Scaled measure(HWND preview) {
  Scaled measured;
  GetClientRect(preview, &measured.client);
  HWND bar = FindWindowExW(FindWindowExW(preview, nullptr, L"TPanel", nullptr), nullptr,
                           TOOLBARCLASSNAMEW, nullptr);
  measured.buttonWidth = LOWORD(SendMessageW(bar, TB_GETBUTTONSIZE, 0, 0));
  LOGFONTW font{};
  HWND tabs = FindWindowExW(preview, nullptr, WC_TABCONTROLW, nullptr);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tabs, WM_GETFONT, 0, 0)), sizeof font, &font);
  measured.tabFontHeight = -font.lfHeight;
  HWND sheet = childOfClass(childOfClass(GetTopWindow(preview), L"TScrollBox"), L"TPrntSheet");
  GetWindowRect(sheet, &measured.paper);
  return measured;
}

void CALLBACK measureAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  HWND preview = FindWindowW(L"TMyPrintPageControl", nullptr);
  if (!preview || !IsWindowVisible(preview)) return;
  KillTimer(nullptr, id);
  scaledSeen = measure(preview);
  RECT suggested{0, 0, 1024, 714};
  AdjustWindowRectEx(&suggested, static_cast<DWORD>(GetWindowLongW(preview, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(preview, GWL_EXSTYLE)));
  OffsetRect(&suggested, -suggested.left, -suggested.top);
  SendMessageW(preview, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  movedSeen = measure(preview);
  PostMessageW(preview, WM_CLOSE, 0, 0);
}

TEST(PreviewWindow, ADpiAwareHostGetsTheFrameAndTheSheetsAtItsMonitorsScale) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.request();
  fx.services.env.files["C:\\work\\RisOption.ini"] =
      "[RISDATASET]\nSERVER=x\nDataBaseName=" + fx.db.database() + "\nDriver=SQLite3\n";
  Services services = fx.view;
  services.displayPercent = 150;
  data::TdmRIS dm(services);
  SetTimer(nullptr, 0, 20, &measureAndClose);
  ShowReportPreview(services, dm, "R1", nullptr);
  EXPECT_EQ(scaledSeen.buttonWidth, 59);
  EXPECT_EQ(scaledSeen.tabFontHeight, 17);
  EXPECT_EQ(scaledSeen.paper.right - scaledSeen.paper.left, 1191);  // 794 at 150%
  EXPECT_EQ(scaledSeen.paper.bottom - scaledSeen.paper.top, 1685);
  EXPECT_GT(scaledSeen.client.right, 1024);  // the 1032-pixel frame at 150%, as the screen allows
  EXPECT_EQ(movedSeen.client.right, 1024);
  EXPECT_EQ(movedSeen.client.bottom, 714);
  EXPECT_EQ(movedSeen.buttonWidth, 39);
  EXPECT_EQ(movedSeen.tabFontHeight, 11);
  EXPECT_EQ(movedSeen.paper.right - movedSeen.paper.left, 794);
  EXPECT_EQ(movedSeen.paper.bottom - movedSeen.paper.top, 1123);
}

}  // namespace
}  // namespace risview::preview
