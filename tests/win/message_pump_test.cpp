// The library's one message loop in each of its shapes, and the hold on the thread's other
// windows that modal runs and waits take.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/message_pump_win.h"
#include "platform/win32.h"

namespace risview::win {
namespace {

// A window of this module that notes every posted message it is handed.
class Recorder {
 public:
  Recorder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = thisModule();
    wc.lpszClassName = L"RisviewPumpRecorder";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Recorder() {
    DestroyWindow(window);
    UnregisterClassW(L"RisviewPumpRecorder", thisModule());
  }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  HWND window = nullptr;
  std::vector<UINT> handled;

 private:
  static LRESULT CALLBACK proc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    const bool noted = message == WM_CLOSE || message == WM_LBUTTONDOWN || message == WM_KEYDOWN ||
                       (message >= WM_APP && message < WM_APP + 10);
    if (self && noted) {
      self->handled.push_back(message);
      return 0;
    }
    return DefWindowProcW(h, message, wParam, lParam);
  }
};

// What is left in the thread's queue, the quit (as WM_QUIT) among it, in the order it comes.
std::vector<UINT> drainQueue() {
  std::vector<UINT> left;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      EXPECT_EQ(msg.wParam, 7u);
    }
    left.push_back(msg.message);
  }
  return left;
}

constexpr UINT kFirst = WM_APP, kSecond = WM_APP + 1, kThird = WM_APP + 2;

// Each shape over the same queue: a message, a click, a quit, another message (and Escape to
// a window of the library where the close gesture is what is looked at).
TEST(MessagePump, EachShapeTakesInputAndTheQuitAsItSays) {
  using Until = PumpRules::Until;
  using Input = PumpRules::Input;
  using Quit = PumpRules::Quit;
  struct Case {
    const char* what;
    PumpRules rules;
    bool escape;  // Escape in place of the click
    std::vector<UINT> handled, left;
  };
  int sleeps = 0;
  Recorder recorder;
  const auto handledSecond = [&] {
    for (UINT m : recorder.handled) {
      if (m == kSecond) return true;
    }
    return sleeps > 5;  // a pump that never sleeps again would hang the suite
  };
  const Case cases[] = {
      {"the viewer's look: all of it, the quit ends it and stays the host's",
       {},
       false,
       {kFirst, WM_LBUTTONDOWN},
       {kSecond, WM_QUIT}},
      {"between a wait's steps: no input, the quit posted again at the end",
       {.input = Input::CloseGesturesOnly, .quit = Quit::AfterPump},
       false,
       {kFirst, kSecond},
       {WM_QUIT}},
      {"a close gesture to our window closes it while the rest of the input is dropped",
       {.input = Input::CloseGesturesOnly, .quit = Quit::AfterPump},
       true,
       {kFirst, kSecond, WM_CLOSE},
       {WM_QUIT}},
      {"a step's wait: until it is over, sleeping in between",
       {.until = Until::Over,
        .input = Input::CloseGesturesOnly,
        .quit = Quit::AfterPump,
        .over = handledSecond,
        .sleep = [&] { return ++sleeps > 0; }},
       false,
       {kFirst, kSecond},
       {kThird, WM_QUIT}},
      {"a modal run: until its window ends, each message looked at first",
       {.until = Until::Ended,
        .over = handledSecond,
        .preTranslate = [](const MSG& msg) { return msg.message == WM_LBUTTONDOWN; }},
       false,
       {kFirst, kSecond},
       {kThird, WM_QUIT}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recorder.handled.clear();
    sleeps = 0;
    drainQueue();
    PostMessageW(recorder.window, kFirst, 0, 0);
    if (c.escape) {
      PostMessageW(recorder.window, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
      PostMessageW(recorder.window, WM_LBUTTONDOWN, 0, 0);
    }
    if (c.rules.until == Until::NoneLeft) {
      PostMessageW(nullptr, WM_QUIT, 7, 0);
      PostMessageW(recorder.window, kSecond, 0, 0);
    } else {
      // Over before the quit: it is never taken, and stays where it was.
      PostMessageW(recorder.window, kSecond, 0, 0);
      PostMessageW(recorder.window, kThird, 0, 0);
      PostQuitMessage(7);
    }
    pumpMessages(c.rules);
    EXPECT_EQ(recorder.handled, c.handled);
    EXPECT_EQ(drainQueue(), c.left);
  }
}

// The windows a hold disables, each hold over the same windows of the thread: ours, the
// host's, and one the host disabled itself, which no hold may enable.
TEST(ThreadWindowsDisabled, DisablesWhatItDoesNotSpareAndGivesBackExactlyThat) {
  const auto make = [](const wchar_t* caption, DWORD style, HWND owner, HINSTANCE module) {
    HWND h = CreateWindowExW(0, L"STATIC", caption, style, 0, 0, 50, 50, owner, nullptr, module,
                             nullptr);
    EXPECT_NE(h, nullptr) << caption;
    return h;
  };
  const DWORD shown = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  HWND modal = make(L"modal", shown, nullptr, thisModule());
  struct Window {
    const char* name;
    HWND h;
  };
  const Window windows[] = {
      {"host", make(L"host", shown, nullptr, nullptr)},
      {"hidden host", make(L"hidden", WS_OVERLAPPEDWINDOW, nullptr, nullptr)},
      {"ours", make(L"ours", shown, nullptr, thisModule())},
      {"the modal's box", make(L"box", WS_POPUP | WS_VISIBLE, modal, thisModule())},
      {"modal", modal},
      {"disabled by the host", make(L"disabled", shown, nullptr, nullptr)},
  };
  EnableWindow(windows[5].h, FALSE);
  struct Case {
    const char* what;
    ThreadWindowsDisabled::Spared spared;
    std::vector<std::string> disabled;
  };
  const Case cases[] = {
      {"a modal run", {.modal = modal}, {"host", "hidden host", "ours", "disabled by the host"}},
      {"a step's wait", {.libraryAndHidden = true}, {"host", "disabled by the host"}},
  };
  const auto disabledNow = [&] {
    std::vector<std::string> names;
    for (const Window& w : windows) {
      if (!IsWindowEnabled(w.h)) names.push_back(w.name);
    }
    return names;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      ThreadWindowsDisabled hold(c.spared);
      EXPECT_EQ(disabledNow(), c.disabled);
    }
    EXPECT_EQ(disabledNow(), std::vector<std::string>{"disabled by the host"});
  }
  for (const Window& w : windows) DestroyWindow(w.h);
}

}  // namespace
}  // namespace risview::win
