// Chooses the printer in the print dialog, pressed by a helper thread, prints two A4 sheets
// with known black rectangles to a PostScript file through Wine's PostScript driver, then writes
// what it drew, in sheet pixels, for check-print to find in Ghostscript's rendering. Usage:
// print_probe <output.ps> <layout.txt>
#include <windows.h>
// After windows.h, whose types they use; objbase.h unlocks the print dialog's
// PRINTDLGEXW, which the lean windows.h leaves out.
#include <objbase.h>

#include <commdlg.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <thread>

#include "test_printer.h"

namespace {

const wchar_t kPrinter[] = L"risview test printer";

// The printer as the print dialog returns it; the dialog refuses to open without an owner.
HDC dcFromPrintDialog() {
  HWND owner = CreateWindowW(L"STATIC", L"print probe", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
  PRINTDLGEXW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_NOCURRENTPAGE;
  dialog.nCopies = 1;
  dialog.nStartPage = START_PAGE_GENERAL;
  bool pressed = false;
  std::thread presser([&pressed, thread = GetCurrentThreadId()] {
    pressed = risview::testing::acceptPrintDialog(thread);
  });
  HRESULT shown = PrintDlgExW(&dialog);
  presser.join();
  if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
  DestroyWindow(owner);
  if (shown != S_OK || !pressed || dialog.dwResultAction != PD_RESULT_PRINT) {
    if (dialog.hDC) DeleteDC(dialog.hDC);
    std::fprintf(stderr, "print_probe: print dialog %08lx, pressed %d, result %lu\n", shown,
                 pressed, dialog.dwResultAction);
    return nullptr;
  }
  return dialog.hDC;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  if (!risview::testing::useTestPrinter(kPrinter, L"FILE:")) {
    std::fprintf(stderr, "print_probe: no printer (%lu)\n", GetLastError());
    return 1;
  }
  HDC dc = dcFromPrintDialog();
  if (!dc) return 1;
  FILE* layout = _wfopen(argv[2], L"w");
  if (!layout) return 1;
  // Drawing coordinates start at the printable area, which the driver's margins move
  // into the sheet by the physical offsets.
  const int offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX),
            offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
  std::fprintf(layout, "caps %d %d %d %d %d %d %d %d\n", GetDeviceCaps(dc, LOGPIXELSX),
               GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
               GetDeviceCaps(dc, PHYSICALWIDTH), GetDeviceCaps(dc, PHYSICALHEIGHT), offsetX,
               offsetY, GetDeviceCaps(dc, LOGPIXELSY));
  DOCINFOW doc{sizeof doc, L"risview print probe", argv[1], nullptr, 0};
  bool ok = StartDocW(dc, &doc) > 0;
  for (int page = 0; ok && page < 2; ++page) {
    ok = StartPage(dc) > 0;
    // A different rectangle on each sheet, so that a lost or repeated page shows.
    RECT rect{100 + page * 400, 200, 700 + page * 400, 500};
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    TextOutW(dc, 100, 1000, L"risview", 7);
    std::fprintf(layout, "rect %d %ld %ld %ld %ld\n", page + 1, rect.left + offsetX,
                 rect.top + offsetY, rect.right + offsetX, rect.bottom + offsetY);
    ok = ok && EndPage(dc) > 0;
  }
  ok = ok && EndDoc(dc) > 0;
  DeleteDC(dc);
  std::fclose(layout);
  return ok ? 0 : 1;
}
