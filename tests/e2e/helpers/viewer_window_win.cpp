// A stand-in for the web image viewer: a hidden top-level window of its class
// "TViewerForm" that ignores the first N close requests and gives in to the next; or, with
// "hung", one whose thread stops taking messages once the window exists.
//
//   viewer-window.exe HOST_PID [N | hung]
//
// Its exit status is the number of close requests it received, so a scenario can count
// them. It also ends when the host process does, so that no window outlives a run.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

int refusals = 0;
int closeRequests = 0;
HANDLE windowMade = nullptr;

LRESULT CALLBACK viewerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (++closeRequests > refusals) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(closeRequests);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

HWND makeWindow() {
  return CreateWindowExW(0, L"TViewerForm", L"Viewer", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The window's thread: it makes the window and then blocks for good, as a viewer stuck in
// a call that never returns. Messages sent to the window wait for ever.
DWORD WINAPI hungThread(void*) {
  HWND hwnd = makeWindow();
  SetEvent(windowMade);
  if (!hwnd) return 2;
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const bool hung = argc > 2 && std::strcmp(argv[2], "hung") == 0;
  if (argc > 2 && !hung) refusals = std::atoi(argv[2]);
  HANDLE host = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::atoi(argv[1])));
  if (!host) return 2;

  WNDCLASSW wc{};
  wc.lpfnWndProc = viewerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TViewerForm";
  if (!RegisterClassW(&wc)) return 2;
  if (hung) {
    windowMade = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, hungThread, nullptr, 0, nullptr);
    if (!windowMade || !thread) return 2;
    WaitForSingleObject(windowMade, INFINITE);
    CloseHandle(thread);
  } else if (!makeWindow()) {
    return 2;
  }
  // Looking at the queue first is what makes the starter's WaitForInputIdle return; with a
  // hung window it is this thread, which owns no window, that looks.
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      DispatchMessageW(&msg);
    }
    DWORD woke = MsgWaitForMultipleObjects(1, &host, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) return closeRequests;  // the host has ended
  }
}
