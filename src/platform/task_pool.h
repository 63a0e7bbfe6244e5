// A few threads of its own that run submitted tasks, the most urgent first: what keeps slow
// work (decoding pictures) off the thread that answers the user. Its threads start with the
// first task, so a pool that is never used costs nothing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace risview {

class TaskPool {
 public:
  using Task = std::function<void()>;

  // threads: how many tasks run at once (at least one). threadStart runs first on each
  // thread (the platform's thread priority, say).
  explicit TaskPool(unsigned threads, Task threadStart = {});
  // Stops: see stop().
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // Tasks of a lower priority run first, equal ones in the order submitted. What a task
  // throws is dropped: one bad task never ends a thread or the process. Ignored once the
  // pool has stopped.
  void submit(int priority, Task task);

  // Drops the tasks that have not started, waits for the running ones to end and joins the
  // threads; nothing of the pool runs afterwards. Not from one of the pool's own tasks.
  void stop();

  // Tasks submitted and not yet ended, running or waiting.
  size_t unfinished() const;

  // While held, no task starts; those running go on. For the suites, which hold the pool to
  // see what the user sees before the work arrives.
  void hold(bool held);

  // Workers for decoding on a machine of `cores` cores (0: not known): one a core but one,
  // which the thread that answers the user keeps, at most `most`, at least one. Their
  // lower priority alone does not keep that core free: Wine ignores it, and so does a
  // workstation whose other programs keep every core busy.
  static unsigned threadsFor(unsigned most, unsigned cores = std::thread::hardware_concurrency());

 private:
  void run();

  const unsigned threadCount_;
  const Task threadStart_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  // By priority, then by submission.
  std::map<std::pair<int, uint64_t>, Task> waiting_;
  uint64_t submitted_ = 0;
  size_t running_ = 0;
  bool stopping_ = false;
  bool held_ = false;
  std::vector<std::thread> threads_;
};

// Tasks that run side by side, except one that must run alone (it needs much memory at
// once): it waits for those running to end, and none starts while it waits or runs.
class SharedGate {
 public:
  // Held by one task: side by side on construction, alone after goAlone().
  class Pass {
   public:
    explicit Pass(SharedGate* gate);  // null: no gate, nothing waits
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    void goAlone();

   private:
    SharedGate* gate_;
    bool alone_ = false;
  };

  // Tasks waiting to go alone, for the suites.
  int waitingAlone() {
    std::lock_guard lock(mutex_);
    return waitingAlone_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int sharing_ = 0;
  int waitingAlone_ = 0;
  bool alone_ = false;
};

}  // namespace risview
