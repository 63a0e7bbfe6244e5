// The steps of a call that wait (a connection being opened, a statement and its rows,
// another program closing its window) handed to a service, so that the thread the host
// gave us keeps answering while they run. The step that waits still reads top to bottom:
//
//   const int rows = waits.run([&] { return countRows(); });
//
// The Win32 service runs the work on data threads and handles the host's messages
// meanwhile; the inline one runs it where it stands, which tools and the core suites use.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace risview {

// Thrown by a step whose run was ended (its window closed) while it or an earlier step
// waited: what is left of the run is skipped quietly, without a box.
class RunEnded : public std::exception {
 public:
  const char* what() const noexcept override { return "The run was ended while it waited"; }
};

class Waits {
 public:
  using Work = std::function<void()>;
  virtual ~Waits() = default;

  // Runs the work and returns its result, or throws what it threw. cancel, when given, runs
  // on the calling thread if the run is ended while the work still runs, and makes it return
  // soon (a statement's cancel request). Throws RunEnded when the run was ended before or
  // during the wait.
  template <typename Step>
  auto run(Step&& step, const std::function<void()>& cancel = {}) -> std::invoke_result_t<Step&> {
    using Result = std::invoke_result_t<Step&>;
    std::exception_ptr error;
    if constexpr (std::is_void_v<Result>) {
      wait({[&] { capture(error, step); }}, cancel);
      if (error) std::rethrow_exception(error);
    } else {
      std::optional<Result> result;
      wait({[&] { capture(error, [&] { result.emplace(step()); }); }}, cancel);
      if (error) std::rethrow_exception(error);
      return std::move(*result);
    }
  }

  // Runs every piece of work at once and returns when all have ended: for each, in order,
  // what it threw or null. Throws RunEnded as run does.
  std::vector<std::exception_ptr> all(const std::vector<Work>& steps);

  // The calling thread answers what waits for it (paint, timers, sent and posted messages, a
  // close gesture) as it does while a step waits, then goes on: for long work of its own
  // between steps, such as a long report's pages made into windows. Throws RunEnded as run
  // does, when a close ended the run.
  void answer() { wait({}, {}); }

  // A window of the run was closed: when a step is waiting, the run ends (the waiting steps'
  // cancels run, and every step from there on throws RunEnded until resumeRuns) and this
  // returns true; otherwise nothing changes.
  bool endRun();
  bool ended() const { return ended_; }
  // The run that was ended is over: later steps run again.
  void resumeRuns() { ended_ = false; }
  bool waiting() const { return depth_ > 0; }

  // Many steps in a row (the rows of a report, a statement or more each): what every wait
  // would set up around its step is set up once for all of them while this lives.
  class Batch {
   public:
    explicit Batch(Waits& waits) : waits_(waits) { waits_.beginBatch(); }
    ~Batch() { waits_.endBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    Waits& waits_;
  };

 protected:
  // Runs every piece of work, none of which throws, and returns once all have ended; with
  // none, lets the calling thread answer what it has pending.
  virtual void runAll(const std::vector<Work>& work) = 0;
  virtual void beginBatch() {}
  virtual void endBatch() noexcept {}

 private:
  template <typename Body>
  static void capture(std::exception_ptr& error, Body&& body) noexcept {
    try {
      body();
    } catch (...) {
      error = std::current_exception();
    }
  }
  void wait(const std::vector<Work>& work, const std::function<void()>& cancel);

  int depth_ = 0;
  bool ended_ = false;
  std::vector<const std::function<void()>*> cancels_;  // of the waits in progress
};

// Runs the work on the calling thread, in order.
class InlineWaits : public Waits {
 protected:
  void runAll(const std::vector<Work>& work) override {
    for (const Work& w : work) w();
  }
};

}  // namespace risview
