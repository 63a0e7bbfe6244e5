// How the library holds the calling thread (the host's) while it runs: the one loop that takes
// the thread's messages, whichever of the library's waits runs it, and the hold on the
// thread's other windows while a run or a wait lasts.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace risview::win {

// What a pump does: how long it runs, and what becomes of input and of a quit.
struct PumpRules {
  enum class Until {
    NoneLeft,  // the messages the thread has now
    Over,      // until `over` holds, sleeping in `sleep` while no message comes (a step's wait)
    Ended,     // a modal run: the thread blocks for each message until `over` holds
  };
  // Input: keys, the mouse's buttons and moves, clicks on a frame.
  enum class Input {
    Handled,            // as any other message
    CloseGesturesOnly,  // dropped; Escape, Alt+F4 and the close box still close our windows
  };
  // A quit belongs to the host's own loop: it is always posted again, when the pump ends.
  enum class Quit {
    EndsPump,   // the pump ends at once, leaving the rest queued
    AfterPump,  // the pump goes on to its end
  };
  Until until = Until::NoneLeft;
  Input input = Input::Handled;
  Quit quit = Quit::EndsPump;
  // Until::Over and Until::Ended: whether the pump is done.
  std::function<bool()> over;
  // Until::Over: sleeps until a message or the end may have come; true when messages may be
  // waiting.
  std::function<bool()> sleep;
  // A look at each message before it is translated and dispatched: true when it took it.
  std::function<bool(const MSG&)> preTranslate;
};

void pumpMessages(const PumpRules& rules);

// A top-level window of this module, or a child of one.
bool isLibraryWindow(HWND window);

// A hold on the calling thread's top-level windows: every enabled one it does not spare (the
// host's among them) is disabled while it lives, and exactly those are enabled again when it
// ends; a window disabled before stays disabled.
class ThreadWindowsDisabled {
 public:
  struct Spared {
    // A modal run's window and the windows it owns.
    HWND modal = nullptr;
    // Our own windows and the hidden ones: a step's wait holds the host's windows alone, ours
    // keep their close gestures.
    bool libraryAndHidden = false;
  };
  explicit ThreadWindowsDisabled(Spared spared);
  ~ThreadWindowsDisabled();
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

 private:
  std::vector<HWND> disabled_;
};

}  // namespace risview::win
