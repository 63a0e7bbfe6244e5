#include "ui/print_win.h"

// objbase.h unlocks the print dialog's PRINTDLGEXW, which the lean windows.h leaves out.
#include <objbase.h>

#include <commdlg.h>

#include <algorithm>
#include <stdexcept>

#include "ui/sheet_paint_win.h"
#include "ui/window_win.h"

namespace risview::ui {

using namespace model;

namespace {

// The dialog's global memory blocks, freed on every way out.
struct GlobalBlock {
  HGLOBAL handle = nullptr;
  ~GlobalBlock() {
    if (handle) GlobalFree(handle);
  }
};

}  // namespace

PrinterChoice choosePrinter(HWND owner) {
  PRINTDLGEXW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  // The choice is which printer and how many copies; the buttons say which pages.
  dialog.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_NOCURRENTPAGE |
                 PD_USEDEVMODECOPIESANDCOLLATE;
  dialog.nCopies = 1;
  dialog.nStartPage = START_PAGE_GENERAL;
  const HRESULT shown = PrintDlgExW(&dialog);
  GlobalBlock mode{dialog.hDevMode}, names{dialog.hDevNames};
  win::unique_dc printer(dialog.hDC ? win::counted(dialog.hDC) : nullptr);
  if (shown != S_OK) throw std::runtime_error("无法打开打印对话框。");
  if (dialog.dwResultAction != PD_RESULT_PRINT) return {};
  return {std::move(printer), std::max(1, static_cast<int>(dialog.nCopies))};
}

int printSheets(HDC printer, const std::string& title, const std::vector<const PageModel*>& pages,
                int copies) {
  const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
  if (dpiX <= 0 || dpiY <= 0) throw std::runtime_error("打印机未提供分辨率，无法打印。");
  const Scale scale{dpiY, 96};
  // Drawing starts at the paper's corner, not at the printable area's; a printer whose
  // dots are not square stretches its lines across.
  const POINT offset{GetDeviceCaps(printer, PHYSICALOFFSETX),
                     GetDeviceCaps(printer, PHYSICALOFFSETY)};
  const std::wstring name = win::widen(title);
  DOCINFOW document{sizeof document, name.c_str(), nullptr, nullptr, 0};
  if (StartDocW(printer, &document) <= 0) {
    // The user cancelled a printer's own question (the file name of a printer to a file).
    if (GetLastError() == ERROR_CANCELLED) return 0;
    throw std::runtime_error("打印机未接受该报告，打印未完成。");
  }
  // Decoded at the printed size for this document only.
  FontCache fonts;
  SheetPictures pictures;
  int printed = 0;
  const auto printSheet = [&](const PageModel& page, const Component& sheet) {
    if (StartPage(printer) <= 0) throw std::runtime_error("打印机未接受报告页，打印未完成。");
    if (dpiX != dpiY) {
      SetMapMode(printer, MM_ANISOTROPIC);
      SetWindowExtEx(printer, dpiY, dpiY, nullptr);
      SetViewportExtEx(printer, dpiX, dpiY, nullptr);
    }
    SetViewportOrgEx(printer, -offset.x, -offset.y, nullptr);
    const Rect area = scale(Rect{0, 0, sheet.rect.width, sheet.rect.height});
    SheetCanvas canvas{printer, scale, {0, 0, area.width, area.height}, &fonts, &pictures};
    canvas.withEdits = true;
    paintSheet(page, sheet, canvas);
    if (EndPage(printer) <= 0) throw std::runtime_error("打印机未接受报告页，打印未完成。");
    ++printed;
  };
  try {
    for (int copy = 0; copy < copies; ++copy) {
      for (const PageModel* page : pages) {
        for (const Component* sheet : page->sheets()) printSheet(*page, *sheet);
      }
    }
  } catch (...) {
    AbortDoc(printer);
    throw;
  }
  if (EndDoc(printer) <= 0) throw std::runtime_error("打印机未接受该报告，打印未完成。");
  return printed;
}

}  // namespace risview::ui
