#pragma once
// Drives the system print dialog without a person: for a test whose code under test opens
// it. Run acceptPrintDialog on a thread of its own before the dialog is opened.
#include <windows.h>

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
