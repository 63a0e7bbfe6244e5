#include "platform/message_pump_win.h"

#include <optional>

#include "platform/win32.h"

namespace risview::win {

namespace {

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

// One pump's run: the quit it took is posted again as it ends.
class Pump {
 public:
  explicit Pump(const PumpRules& rules) : rules_(rules) {}
  ~Pump() {
    if (quit_) PostQuitMessage(static_cast<int>(*quit_));
  }
  Pump(const Pump&) = delete;
  Pump& operator=(const Pump&) = delete;

  void run() {
    switch (rules_.until) {
      case PumpRules::Until::NoneLeft:
        return pending([] { return false; });
      case PumpRules::Until::Over:
        while (!over()) {
          if (rules_.sleep()) pending([this] { return over(); });
          if (ended_) return;
        }
        return;
      case PumpRules::Until::Ended:
        return modal();
    }
  }

 private:
  bool over() const { return rules_.over(); }

  // The messages the thread has now, until `stop` holds or a quit ends the pump.
  template <typename Stop>
  void pending(Stop stop) {
    MSG msg;
    while (!stop() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!handle(msg)) return;
    }
  }

  void modal() {
    MSG msg;
    while (!over()) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got < 0 || !handle(msg)) return;
    }
  }

  // False when the message ends the pump.
  bool handle(const MSG& msg) {
    if (msg.message == WM_QUIT) {
      quit_ = msg.wParam;
      ended_ = rules_.quit == PumpRules::Quit::EndsPump;
      return !ended_;
    }
    if (rules_.input == PumpRules::Input::CloseGesturesOnly && isInput(msg.message)) {
      closeGesture(msg);
      return true;
    }
    if (rules_.preTranslate && rules_.preTranslate(msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
  }

  const PumpRules& rules_;
  std::optional<WPARAM> quit_;
  bool ended_ = false;
};

bool ownedBy(HWND window, HWND owner) {
  for (HWND w = GetWindow(window, GW_OWNER); w; w = GetWindow(w, GW_OWNER)) {
    if (w == owner) return true;
  }
  return false;
}

bool spared(HWND window, const ThreadWindowsDisabled::Spared& spared) {
  if (spared.modal && (window == spared.modal || ownedBy(window, spared.modal))) return true;
  return spared.libraryAndHidden && (!IsWindowVisible(window) || isLibraryWindow(window));
}

struct Collecting {
  const ThreadWindowsDisabled::Spared& spared;
  std::vector<HWND>& windows;
};

BOOL CALLBACK collectOne(HWND window, LPARAM data) {
  auto* collecting = reinterpret_cast<Collecting*>(data);
  try {
    if (IsWindowEnabled(window) && !spared(window, collecting->spared)) {
      collecting->windows.push_back(window);
    }
    return TRUE;
  } catch (...) {
    return FALSE;  // out of memory: the windows collected so far are held
  }
}

}  // namespace

void pumpMessages(const PumpRules& rules) {
  Pump(rules).run();
}

bool isLibraryWindow(HWND window) {
  HWND root = GetAncestor(window, GA_ROOT);
  return root != nullptr &&
         GetWindowLongPtrW(root, GWLP_HINSTANCE) == reinterpret_cast<LONG_PTR>(thisModule());
}

ThreadWindowsDisabled::ThreadWindowsDisabled(Spared spared) {
  Collecting collecting{spared, disabled_};
  EnumThreadWindows(GetCurrentThreadId(), &collectOne, reinterpret_cast<LPARAM>(&collecting));
  // Collected first, then disabled: disabling may create or destroy windows of the thread.
  for (HWND w : disabled_) EnableWindow(w, FALSE);
}

ThreadWindowsDisabled::~ThreadWindowsDisabled() {
  for (HWND w : disabled_) {
    if (IsWindow(w)) EnableWindow(w, TRUE);
  }
}

}  // namespace risview::win
