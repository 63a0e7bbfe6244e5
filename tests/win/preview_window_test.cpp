// The preview window as a real window: its tabs, the page in front, and that closing it
// leaves nothing behind. A thread timer acts inside the window's modal run.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

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
  EXPECT_TRUE(seen.firstPageInFrontAfterChange);
  EXPECT_LT(seen.scrolledTop, 4 - 100);
  EXPECT_EQ(seen.scrolledTopAfterSwitching, seen.scrolledTop);
  EXPECT_EQ(windowsOfThisThread(), before);
}

}  // namespace
}  // namespace risview::preview
