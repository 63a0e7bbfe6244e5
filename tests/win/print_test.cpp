// Printing from the preview, as a user does it: with the option file's [PREVIEW] Print the
// two print buttons show; the first opens the print dialog (pressed here by a helper thread)
// and prints both sheets of the page in front into a file through Wine's PostScript driver.
// The test writes where a few components must appear on paper; tests/win/check-print-report
// renders the file with Ghostscript and looks for them there.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "data/data_module.h"
#include "platform/win32.h"
#include "preview/preview_win.h"
#include "print/test_printer.h"
#include "support/report_fixture.h"
#include "ui/component_query.h"
#include "ui/page_win.h"
#include "ui/print_win.h"
#include "ui/window_win.h"

namespace risview::preview {
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;

const wchar_t kPrinter[] = L"risview report printer";

struct Printed {
  std::vector<std::string> shownButtons;  // by their hints
  bool dialogPressed = false;
  // What the page says of a component: its sheet's number and its rectangle on the sheet.
  struct Place {
    std::string name, check;
    int sheet = 0;
    RECT rect{};
  };
  std::vector<Place> places;
};
Printed printed;
int printButton = 0;  // the tool bar's button pressed: 0 the page in front, 1 every page

// A component's rectangle in its sheet's design pixels, asked of the page as tools ask.
RECT placeOnSheet(HWND page, const char* name, const char* sheet) {
  const UINT message = RegisterWindowMessageW(ui::kComponentQueryMessage);
  ui::ComponentQuery component, paper;
  component.name = name;
  paper.name = sheet;
  if (!SendMessageW(page, message, 0, reinterpret_cast<LPARAM>(&component)) ||
      !SendMessageW(page, message, 0, reinterpret_cast<LPARAM>(&paper))) {
    return {};
  }
  return {component.rect.left - paper.rect.left, component.rect.top - paper.rect.top,
          component.rect.right - paper.rect.left, component.rect.bottom - paper.rect.top};
}

// Notes the tool bar and the places, presses the first print button as a click does, and
// closes the window once printing has returned.
void CALLBACK printAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  HWND preview = FindWindowW(L"TMyPrintPageControl", nullptr);
  if (!preview || !IsWindowVisible(preview)) return;
  KillTimer(nullptr, id);
  HWND bar = FindWindowExW(FindWindowExW(preview, nullptr, L"TPanel", nullptr), nullptr,
                           TOOLBARCLASSNAMEW, nullptr);
  const int buttons = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < buttons; ++i) {
    TBBUTTON button{};
    SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    if (button.fsState & TBSTATE_HIDDEN) continue;
    // The hint, asked as the tool bar asks when the pointer rests on the button.
    wchar_t hint[80] = L"";
    NMTBGETINFOTIPW tip{};
    tip.hdr = {bar, static_cast<UINT_PTR>(GetDlgCtrlID(bar)), static_cast<UINT>(TBN_GETINFOTIPW)};
    tip.pszText = hint;
    tip.cchTextMax = 80;
    tip.iItem = button.idCommand;
    SendMessageW(GetParent(bar), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    printed.shownButtons.push_back(win::narrow(hint));
  }
  HWND page = GetTopWindow(preview);
  const struct {
    const char *name, *sheet, *check;
    int number;
  } places[] = {{"Image1", "Paper", "box", 1},        {"Image4", "Paper", "box", 1},
                {"Label24", "Paper", "ink", 1},       {"Edit12", "Paper", "ink", 1},
                {"RichEdit4", "Paper", "ink", 1},     {"Image5", "Paper1", "box", 2},
                {"Paper1_Label8", "Paper1", "ink", 2}};
  for (const auto& p : places) {
    printed.places.push_back({p.name, p.check, p.number, placeOnSheet(page, p.name, p.sheet)});
  }
  // The print button's own click: down and up on it, the dialog answered by a helper.
  RECT r{};
  SendMessageW(bar, TB_GETITEMRECT, printButton, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  std::thread presser([thread = GetCurrentThreadId()] {
    printed.dialogPressed = risview::testing::acceptPrintDialog(thread);
  });
  SendMessageW(bar, WM_MOUSEMOVE, 0, at);
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(bar, WM_LBUTTONUP, 0, at);
  presser.join();
  PostMessageW(preview, WM_CLOSE, 0, 0);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Points the test printer at a new file of the scratch folder and returns its path, or an
// empty text when the printer cannot be set up. Under Wine a port that is a host path is a
// file every document goes into.
std::string printerInto(const char* file) {
  const std::string out = testing::scratchDirectory() + "/" + file;
  std::remove(out.c_str());
  return risview::testing::useTestPrinter(kPrinter, win::widen(out)) ? out : std::string();
}

TEST(Printing, ThePageInFrontPrintsSheetBySheet) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  const std::string out = printerInto("printed.ps");
  ASSERT_FALSE(out.empty()) << GetLastError();

  ReportFixture fx;
  fx.request({{"PTN_NAME", "赵磊"},
              {"ImageFinding", "右肺上叶尖段见一实性结节影，大小约6mm×5mm，边缘光整。"},
              {"Impression", "右肺上叶尖段实性小结节，建议6个月后复查。"}});
  // Five black pictures: four on the first sheet, the fifth on a continuation sheet.
  for (int i = 0; i < 5; ++i) {
    const std::string path = testing::scratchDirectory() + "\\print" + std::to_string(i) + ".bmp";
    const std::string bytes = testing::bmpBytes(400, 300);
    std::ofstream(path, std::ios::binary) << bytes;
    fx.image(i, path, 0, 0);
    fx.file(path, bytes);
  }
  fx.services.env.files["C:\\work\\RisOption.ini"] =
      "[RISDATASET]\nSERVER=x\nDataBaseName=" + fx.db.database() +
      "\nDriver=SQLite3\n[PREVIEW]\nPrint=1\n";
  data::TdmRIS dm(fx.view);

  const size_t boxes = fx.services.boxes.shown.size();  // the archive's connection failed
  printed = {};
  printButton = 0;
  SetTimer(nullptr, 0, 20, &printAndClose);
  ShowReportPreview(fx.view, dm, "R1", nullptr);

  EXPECT_EQ(printed.shownButtons,
            (std::vector<std::string>{"打印当前报告页...", "打印全部报告页...", ""}));
  EXPECT_TRUE(printed.dialogPressed);
  const std::string document = readAll(out);
  EXPECT_EQ(occurrences(document, "%%Page: "), 2u) << "the first sheet and its continuation";
  EXPECT_EQ(fx.services.boxes.shown.size(), boxes) << fx.services.boxes.shown.back().text;

  // For check-print-report: the printer's resolution and offsets, and where each component
  // must be found on paper, in printer pixels.
  HDC printer = CreateDCW(L"WINSPOOL", kPrinter, nullptr, nullptr);
  ASSERT_NE(printer, nullptr);
  const int dpi = GetDeviceCaps(printer, LOGPIXELSY);
  std::ofstream layout(testing::scratchDirectory() + "/printed-layout.txt");
  layout << "caps " << GetDeviceCaps(printer, LOGPIXELSX) << ' ' << GetDeviceCaps(printer, HORZRES)
         << ' ' << GetDeviceCaps(printer, VERTRES) << ' ' << GetDeviceCaps(printer, PHYSICALWIDTH)
         << ' ' << GetDeviceCaps(printer, PHYSICALHEIGHT) << ' '
         << GetDeviceCaps(printer, PHYSICALOFFSETX) << ' '
         << GetDeviceCaps(printer, PHYSICALOFFSETY) << ' ' << dpi << '\n';
  DeleteDC(printer);
  const auto scaled = [dpi](LONG v) { return MulDiv(v, dpi, 96); };
  for (const auto& p : printed.places) {
    EXPECT_GT(p.rect.right, p.rect.left) << p.name;
    layout << p.check << ' ' << p.sheet << ' ' << scaled(p.rect.left) << ' ' << scaled(p.rect.top)
           << ' ' << scaled(p.rect.right) << ' ' << scaled(p.rect.bottom) << "  " << p.name << '\n';
  }
}

// "打印全部报告页..." prints every page of the report, not only the one in front.
TEST(Printing, EveryPagePrintsEachPage) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  const std::string out = printerInto("every-page.ps");
  ASSERT_FALSE(out.empty()) << GetLastError();
  ReportFixture fx;
  fx.request();
  fx.report({{"ReportID", "2"}});
  fx.report({{"ReportID", "3"}});
  fx.services.env.files["C:\\work\\RisOption.ini"] =
      "[RISDATASET]\nSERVER=x\nDataBaseName=" + fx.db.database() +
      "\nDriver=SQLite3\n[PREVIEW]\nPrint=1\n";
  data::TdmRIS dm(fx.view);
  printed = {};
  printButton = 1;
  SetTimer(nullptr, 0, 20, &printAndClose);
  ShowReportPreview(fx.view, dm, "R1", nullptr);
  EXPECT_TRUE(printed.dialogPressed);
  EXPECT_EQ(occurrences(readAll(out), "%%Page: "), 3u) << "one sheet for each of three pages";
}

// Copies the driver does not make are made here: the whole set again after itself.
TEST(Printing, CopiesRepeatTheWholeSet) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  const std::string out = printerInto("copies.ps");
  ASSERT_FALSE(out.empty()) << GetLastError();
  ReportFixture fx;
  fx.request();
  const std::string path = testing::scratchDirectory() + "\\copies.bmp";
  const std::string bytes = testing::bmpBytes(40, 30);
  std::ofstream(path, std::ios::binary) << bytes;
  for (int i = 0; i < 5; ++i) fx.image(i, path, 0, 0);  // a continuation sheet
  fx.file(path, bytes);
  ui::GdiTextMetrics metrics;
  auto page = fx.page(1, &metrics);
  win::unique_dc printer(win::counted(CreateDCW(L"WINSPOOL", kPrinter, nullptr, nullptr)));
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(ui::printSheets(printer.get(), "copies", {&page->model()}, 2), 4);
  printer.reset();
  EXPECT_EQ(occurrences(readAll(out), "%%Page: "), 4u);
}

}  // namespace
}  // namespace risview::preview
