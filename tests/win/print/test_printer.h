#pragma once
// A printer for the tests, and the system print dialog driven without a person: for a test
// whose code under test opens it, run acceptPrintDialog on a thread of its own before the
// dialog is opened.
#include <windows.h>
// after windows.h
#include <winspool.h>

#include <string>

namespace risview::testing {

namespace print_dialog_detail {
inline BOOL CALLBACK findVisibleDialog(HWND window, LPARAM found) {
  wchar_t name[16];
  if (GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0 &&
      IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace print_dialog_detail

// Presses OK (the dialog's Print button) on the first visible dialog of the given thread,
// waiting up to the time limit for it to appear. Returns whether it found one. The click is
// posted, not sent: the dialog's own modal loop handles it, as it would a person's.
// Adds the printer once per prefix on Wine's PostScript driver (its description is the file
// scripts/wine-printer put into the driver folder), points it at the port (FILE:, or under
// Wine a host file path, into which every document then goes), and makes it the default.
inline bool useTestPrinter(const std::wstring& name, const std::wstring& port) {
  std::wstring driver = L"Wine PostScript Driver", dll = L"wineps.drv", ppd = L"generic.ppd";
  DRIVER_INFO_3W info{};
  info.cVersion = 3;
  info.pName = driver.data();
  info.pDriverPath = dll.data();
  info.pDataFile = ppd.data();
  info.pConfigFile = dll.data();
  if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES))
    return false;
  std::wstring printerName = name, portName = port, processor = L"winprint", datatype = L"RAW";
  PRINTER_INFO_2W printer{};
  printer.pPrinterName = printerName.data();
  printer.pPortName = portName.data();
  printer.pDriverName = driver.data();
  printer.pPrintProcessor = processor.data();
  printer.pDatatype = datatype.data();
  HANDLE handle = nullptr;
  PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(printerName.data(), &handle, &access)) {
    const bool set = SetPrinterW(handle, 2, reinterpret_cast<BYTE*>(&printer), 0) != 0;
    ClosePrinter(handle);
    if (!set) return false;
  } else {
    handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    if (!handle) return false;
    ClosePrinter(handle);
  }
  return SetDefaultPrinterW(printerName.c_str()) != 0;
}

inline bool acceptPrintDialog(DWORD dialogThread, DWORD timeoutMs = 5000) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
    HWND dialog = nullptr;
    EnumThreadWindows(dialogThread, print_dialog_detail::findVisibleDialog,
                      reinterpret_cast<LPARAM>(&dialog));
    if (HWND ok = dialog ? GetDlgItem(dialog, IDOK) : nullptr)
      return PostMessageW(ok, BM_CLICK, 0, 0) != 0;
    Sleep(20);
  }
  return false;
}

}  // namespace risview::testing
