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
#include "platform/message_pump_win.h"
#include "platform/win32.h"

namespace risview::win {

namespace {

std::atomic<int> waitsInProgress{0};

// Where the host's thread sleeps while a step runs, and how many of its waits (one may nest
// in another, from a message it handles) sleep there now: a data thread sets the event only
// then, so that a step that ends while the host's thread still looks costs no call to the
// system.
struct Wake {
  unique_handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> sleepers{0};
};

// The steps of one wait: each data thread counts its step off as it ends.
struct Completion {
  std::atomic<size_t> left;
  bool over() const { return left.load() == 0; }
};

// A short look before the thread sleeps: most statements end within it, and a thread that
// sleeps costs a round of calls to the system to put to sleep and wake again.
constexpr double kLookBeforeSleepingMs = 0.2;
// Asking the system for messages costs a round trip: between steps, every few milliseconds
// is enough for the host's thread to answer as it does while steps wait.
constexpr double kAnswerEveryMs = 5;

template <typename Ready>
bool soon(Ready ready) {
  const double until = monotonicMilliseconds() + kLookBeforeSleepingMs;
  for (int i = 1;; ++i) {
    if (ready()) return true;
    if (i % 64 == 0) {
      if (monotonicMilliseconds() > until) return false;
      SwitchToThread();  // a core shared with the thread being waited for goes to it
    } else {
      YieldProcessor();
    }
  }
}

// Handles the thread's messages until the steps are over or, without steps, those it has
// now: input is dropped but for a close gesture, a quit is kept for the host's own loop and
// posted again once the wait is over. The host's windows are disabled for the wait unless a
// batch holds them already.
void answerUntil(const Completion* done, Wake* wake, bool disableHost) {
  ++waitsInProgress;
  struct Count {
    ~Count() { --waitsInProgress; }
  } count;
  PumpRules rules{.input = PumpRules::Input::CloseGesturesOnly, .quit = PumpRules::Quit::AfterPump};
  if (done == nullptr) return pumpMessages(rules);
  std::optional<ThreadWindowsDisabled> hold;
  if (disableHost) hold.emplace(ThreadWindowsDisabled::Spared{.libraryAndHidden = true});
  rules.until = PumpRules::Until::Over;
  rules.over = [done] { return done->over(); };
  // The host's thread: it sleeps only until a message or the end of the steps comes. It says
  // so before it looks a last time; a data thread whose step ends after that wakes it.
  rules.sleep = [done, wake] {
    HANDLE event = wake->event.get();
    ++wake->sleepers;
    ResetEvent(event);
    DWORD r = WAIT_OBJECT_0;
    if (!done->over()) {
      // Runs on the host's thread and pumps: any message wakes it (QS_ALLINPUT), and the
      // pump handles it before the thread sleeps again.
      r = MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      // Should the combined wait fail, the thread looks every 10 ms and keeps handling its
      // messages in between.
      if (r == WAIT_FAILED) WaitForSingleObject(event, 10);
    }
    --wake->sleepers;
    return r != WAIT_OBJECT_0;
  };
  pumpMessages(rules);
}

// A data thread of the call. It sleeps until it is handed a step, runs it, and is free for
// the next one the moment it counts the step off.
class DataThread {
 public:
  explicit DataThread(Wake& wake) : wake_(wake), thread_(&DataThread::serve, this) {}
  ~DataThread() {
    {
      std::lock_guard hold(lock_);
      stop_ = true;
    }
    wake_up_.notify_one();
    // On the host's thread, at the call's end (endCall): no step runs then, so the data
    // thread is at most 0.2 ms from seeing the stop.
    thread_.join();
  }
  DataThread(const DataThread&) = delete;
  DataThread& operator=(const DataThread&) = delete;

  // Hands the step over when the thread is free.
  bool take(const Waits::Work& step, Completion& done) {
    {
      std::lock_guard hold(lock_);
      if (busy_) return false;
      busy_ = true;
      done_ = &done;
      step_.store(&step);
    }
    wake_up_.notify_one();
    return true;
  }

 private:
  void serve() {
    for (;;) {
      // The host's thread hands steps in quick succession while it builds a report's pages.
      if (!soon([this] { return step_.load() != nullptr; })) {
        // The data thread's own sleep between steps; the host's thread never waits here.
        std::unique_lock hold(lock_);
        wake_up_.wait(hold, [this] { return step_.load() != nullptr || stop_; });
        if (step_.load() == nullptr) return;
      }
      const Waits::Work& step = *step_.load();
      Completion* done;
      {
        std::lock_guard hold(lock_);
        done = done_;
      }
      // Each step runs as the call does, every floating-point exception masked, whatever a
      // driver left of the one before.
      setFloatingPointState(kMaskedFloatingPoint);
      step();
      {
        std::lock_guard hold(lock_);
        step_.store(nullptr);
        done_ = nullptr;
        busy_ = false;
      }
      // The wait may return the moment the count reaches nought, its step and completion
      // gone with it: only the call's own Wake is touched after that.
      if (--done->left == 0 && wake_.sleepers.load() > 0) SetEvent(wake_.event.get());
    }
  }

  Wake& wake_;
  std::mutex lock_;
  std::condition_variable wake_up_;
  std::atomic<const Waits::Work*> step_{nullptr};
  Completion* done_ = nullptr;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace

bool waitInProgress() {
  return waitsInProgress.load() > 0;
}

struct Win32Waits::Threads {
  Wake wake;
  double answered = 0;  // when the host's thread last answered (monotonicMilliseconds)
  std::vector<std::unique_ptr<DataThread>> running;
  size_t started = 0;
  int batches = 0;
  std::optional<ThreadWindowsDisabled> batchHold;

  // A free data thread takes the step, else a new one; false when no thread can be had.
  bool hand(const Work& step, Completion& done) {
    for (auto& t : running) {
      if (t->take(step, done)) return true;
    }
    try {
      running.push_back(std::make_unique<DataThread>(wake));
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
    if (monotonicMilliseconds() - threads_->answered < kAnswerEveryMs) return;
    answerUntil(nullptr, nullptr, false);
    threads_->answered = monotonicMilliseconds();
    return;
  }
  Threads& t = *threads_;
  Completion done{{work.size()}};
  size_t handed = 0;
  if (t.wake.event) {
    while (handed < work.size() && t.hand(work[handed], done)) ++handed;
  }
  for (size_t i = handed; i < work.size(); ++i) {
    work[i]();
    --done.left;
  }
  if (handed > 0 && !soon([&] { return done.over(); })) {
    // In a batch the host's windows are disabled once, at its first wait, until it ends.
    if (t.batches > 0 && !t.batchHold) {
      t.batchHold.emplace(ThreadWindowsDisabled::Spared{.libraryAndHidden = true});
    }
    answerUntil(&done, &t.wake, t.batches == 0);
    t.answered = monotonicMilliseconds();
  }
}

}  // namespace risview::win
