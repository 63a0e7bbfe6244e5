// A process that only waits: built under the names a browser's executable may have
// ("IEXPLORE.EXE", "iexplore.exe"), so that a scenario sees which ones the library ends.
//
//   IEXPLORE.EXE HOST_PID
//
// It ends with status 1 when the host process does; ended by someone else, it carries
// their status.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HANDLE host = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::atoi(argv[1])));
  if (!host) return 2;
  // Looking at its message queue is what makes the starter's WaitForInputIdle return.
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    DWORD woke = MsgWaitForMultipleObjects(1, &host, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) return 1;
  }
}
