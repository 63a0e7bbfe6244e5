// The steps that wait, on data threads, while the host's thread keeps answering: it handles
// paint, timers, sent and posted messages as its own loop would, but takes no input, so that
// nothing new starts under a step that has not returned. The host's windows are disabled as
// a modal run disables them; the library's own keep only their close gestures.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
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

// One message taken while a step waits: input is dropped but for a close gesture, a quit
// is kept for the host's own loop, everything else is handled as its loop would.
void answerOne(const MSG& msg, std::optional<WPARAM>& quit) {
  if (msg.message == WM_QUIT) {
    quit = msg.wParam;
  } else if (isInput(msg.message)) {
    closeGesture(msg);
  } else {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Handles the thread's messages until the event is set, or, without one, those it has now.
// A quit is posted again once the wait is over. The host's windows are disabled for the wait
// unless a batch holds them already.
void answerUntil(HANDLE done, bool disableHost) {
  ++waitsInProgress;
  struct Count {
    ~Count() { --waitsInProgress; }
  } count;
  std::optional<WPARAM> quit;
  MSG msg;
  if (done == nullptr) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) answerOne(msg, quit);
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    return;
  }
  std::optional<HostWindowsDisabled> hold;
  if (disableHost) hold.emplace();
  for (;;) {
    // The host's thread: it sleeps only until a message or the end of the work comes.
    const DWORD r =
        MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) break;
    // Should the combined wait fail, the thread looks at the event every 10 ms and keeps
    // handling its messages in between.
    if (r == WAIT_FAILED && WaitForSingleObject(done, 10) == WAIT_OBJECT_0) break;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      answerOne(msg, quit);
      if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0) break;
    }
    if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0) break;
  }
  if (quit) PostQuitMessage(static_cast<int>(*quit));
}

// The steps of one wait: the last to end sets the event the host's thread waits on.
struct Completion {
  std::atomic<size_t> left;
  HANDLE event;
  void one() {
    if (--left == 0) SetEvent(event);
  }
};

// A data thread of the call. It sleeps until it is handed a step, runs it, and is free for
// the next one the moment it reports the step ended.
class DataThread {
 public:
  DataThread() : thread_(&DataThread::serve, this) {}
  ~DataThread() {
    {
      std::lock_guard hold(lock_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  DataThread(const DataThread&) = delete;
  DataThread& operator=(const DataThread&) = delete;

  // Hands the step over when the thread is free.
  bool take(const Waits::Work& step, Completion& done) {
    {
      std::lock_guard hold(lock_);
      if (step_ != nullptr) return false;
      step_ = &step;
      done_ = &done;
    }
    wake_.notify_one();
    return true;
  }

 private:
  void serve() {
    std::unique_lock hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return step_ != nullptr || stop_; });
      if (step_ == nullptr) return;
      const Waits::Work& step = *step_;
      Completion& done = *done_;
      hold.unlock();
      // Each step runs as the call does, every floating-point exception masked, whatever a
      // driver left of the one before.
      setFloatingPointState(kMaskedFloatingPoint);
      step();
      hold.lock();
      step_ = nullptr;
      done_ = nullptr;
      hold.unlock();
      // After this the wait may return and its step and completion be gone.
      done.one();
      hold.lock();
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  const Waits::Work* step_ = nullptr;
  Completion* done_ = nullptr;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace

bool waitInProgress() {
  return waitsInProgress.load() > 0;
}

struct Win32Waits::Threads {
  std::vector<std::unique_ptr<DataThread>> running;
  size_t started = 0;
  std::vector<unique_handle> events;  // free for the next wait (a wait may nest in another)
  int batches = 0;
  std::optional<HostWindowsDisabled> batchHold;

  // A free data thread takes the step, else a new one; false when no thread can be had.
  bool hand(const Work& step, Completion& done) {
    for (auto& t : running) {
      if (t->take(step, done)) return true;
    }
    try {
      running.push_back(std::make_unique<DataThread>());
      ++started;
    } catch (const std::exception&) {
      return false;  // no thread to be had (or no memory for one): the step runs here
    }
    return running.back()->take(step, done);
  }
};

Win32Waits::Win32Waits() : threads_(std::make_unique<Threads>()) {}

Win32Waits::~Win32Waits() {
  // Only a process that ends in the middle of a call gets here with data threads: the system
  // has stopped them already, and a join would wait for ever.
  for (auto& t : threads_->running) static_cast<void>(t.release());
}

void Win32Waits::endCall() noexcept {
  threads_->running.clear();
  threads_->batchHold.reset();
}

size_t Win32Waits::threadsStarted() const {
  return threads_->started;
}

void Win32Waits::beginBatch() {
  ++threads_->batches;
}

void Win32Waits::endBatch() noexcept {
  if (--threads_->batches == 0) threads_->batchHold.reset();
}

void Win32Waits::runAll(const std::vector<Work>& work) {
  if (work.empty()) {
    answerUntil(nullptr, false);
    return;
  }
  Threads& t = *threads_;
  unique_handle event;
  if (!t.events.empty()) {
    event = std::move(t.events.back());
    t.events.pop_back();
    ResetEvent(event.get());
  } else {
    event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  Completion done{{work.size()}, event.get()};
  size_t handed = 0;
  if (event) {
    while (handed < work.size() && t.hand(work[handed], done)) ++handed;
  }
  for (size_t i = handed; i < work.size(); ++i) {
    work[i]();
    done.one();
  }
  if (handed > 0) {
    // In a batch the host's windows are disabled once, at its first wait, until it ends.
    if (t.batches > 0 && !t.batchHold) t.batchHold.emplace();
    answerUntil(event.get(), t.batches == 0);
  }
  if (event) t.events.push_back(std::move(event));
}

}  // namespace risview::win
