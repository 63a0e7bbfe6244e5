// Makes the Wine prefix's default printer one that prints into a file, for a scenario that
// prints (its `printer` line): the runner runs it before the host.
//
//   test-printer.exe PORT
//
// PORT: under Wine a host path, into which every printed document goes. Status 0 when the
// printer is ready.
#include <windows.h>

#include "win/print/test_printer.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  return risview::testing::useTestPrinter(L"risview scenario printer", argv[1]) ? 0 : 1;
}
