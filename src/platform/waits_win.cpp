// The steps that wait, on data threads, while the host's thread keeps answering: it handles
// paint, timers, sent and posted messages as its own loop would, but takes no input, so that
// nothing new starts under a step that has not returned. The host's windows are disabled as
// a modal run disables them; the library's own keep only their close gestures.
#include <windows.h>

#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/floating_point_win.h"
#include "platform/win32.h"

namespace risview::win {

namespace {

std::atomic<int> waitsInProgress{0};

bool isLibraryWindow(HWND window) {
  HWND root = GetAncestor(window, GA_ROOT);
  return root != nullptr &&
         GetWindowLongPtrW(root, GWLP_HINSTANCE) == reinterpret_cast<LONG_PTR>(thisModule());
}

bool isInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Escape, Alt+F4 and the close box still close a window of the library: the step that waits
// then ends the run as soon as it returns.
void closeGesture(const MSG& msg) {
  if (msg.hwnd == nullptr || !isLibraryWindow(msg.hwnd)) return;
  const bool close = (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) ||
                     (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) ||
                     (msg.message == WM_NCLBUTTONUP && msg.wParam == HTCLOSE);
  if (close) PostMessageW(GetAncestor(msg.hwnd, GA_ROOT), WM_CLOSE, 0, 0);
}

// Every visible, enabled top-level window of the thread that is not the library's (the
// host's), disabled while it lives and enabled again when it ends.
class HostWindowsDisabled {
 public:
  HostWindowsDisabled() {
    EnumThreadWindows(GetCurrentThreadId(), &HostWindowsDisabled::collect,
                      reinterpret_cast<LPARAM>(&disabled_));
    for (HWND w : disabled_) EnableWindow(w, FALSE);
  }
  ~HostWindowsDisabled() {
    for (HWND w : disabled_) {
      if (IsWindow(w)) EnableWindow(w, TRUE);
    }
  }
  HostWindowsDisabled(const HostWindowsDisabled&) = delete;
  HostWindowsDisabled& operator=(const HostWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK collect(HWND window, LPARAM list) {
    try {
      if (IsWindowVisible(window) && IsWindowEnabled(window) && !isLibraryWindow(window)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
      }
      return TRUE;
    } catch (...) {
      return FALSE;  // out of memory: the windows collected so far are disabled
    }
  }
  std::vector<HWND> disabled_;
};

// Handles the thread's messages until the event is set. A quit is kept for the host's own
// loop and posted again once the wait is over.
void answerUntil(HANDLE done) {
  ++waitsInProgress;
  struct Count {
    ~Count() { --waitsInProgress; }
  } count;
  HostWindowsDisabled hold;
  std::optional<WPARAM> quit;
  for (;;) {
    // The host's thread: it sleeps only until a message or the end of the work comes.
    const DWORD r =
        MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) break;
    // Should the combined wait fail, the thread looks at the event every 10 ms and keeps
    // handling its messages in between.
    if (r == WAIT_FAILED && WaitForSingleObject(done, 10) == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = msg.wParam;
      } else if (isInput(msg.message)) {
        closeGesture(msg);
      } else {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0) break;
    }
    if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0) break;
  }
  if (quit) PostQuitMessage(static_cast<int>(*quit));
}

}  // namespace

bool waitInProgress() {
  return waitsInProgress.load() > 0;
}

void Win32Waits::runAll(const std::vector<Work>& work) {
  unique_handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<size_t> left{work.size()};
  auto finished = [&left, event = done.get()] {
    if (--left == 0 && event) SetEvent(event);
  };
  std::vector<std::thread> threads;
  threads.reserve(work.size());
  if (done) {
    try {
      for (const Work& w : work) {
        threads.emplace_back([&w, &finished] {
          // The data threads run as the call does, every floating-point exception masked.
          setFloatingPointState(kMaskedFloatingPoint);
          w();
          finished();
        });
      }
    } catch (const std::system_error&) {
      // No thread to be had: the rest runs here, as it always did.
    }
  }
  for (size_t i = threads.size(); i < work.size(); ++i) {
    work[i]();
    finished();
  }
  if (!threads.empty()) answerUntil(done.get());
  for (std::thread& t : threads) t.join();
}

}  // namespace risview::win
