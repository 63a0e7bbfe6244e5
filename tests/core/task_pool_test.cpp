// The pool behind picture decoding: urgent tasks first, a throwing task harmless, and
// stopping leaves nothing running.
#include "platform/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace risview {
namespace {

TEST(TaskPool, RunsTheMostUrgentFirstAndSurvivesAThrowingTask) {
  TaskPool pool(1);
  // Held, so that everything below waits and is ordered.
  pool.hold(true);
  std::mutex m;
  std::vector<int> order;
  auto note = [&](int v) {
    return [&, v] {
      std::lock_guard lock(m);
      order.push_back(v);
    };
  };
  pool.submit(1, note(3));
  pool.submit(0, [] { throw std::runtime_error("a picture that cannot be read"); });
  pool.submit(0, note(1));
  pool.submit(1, note(4));
  pool.submit(0, note(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(pool.unfinished(), 5u);  // none started while held
  pool.hold(false);
  while (pool.unfinished() > 0) std::this_thread::yield();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(TaskPool, StopDropsWaitingTasksAndWaitsForRunningOnes) {
  std::atomic<int> ran{0}, ended{0};
  TaskPool pool(2);
  std::promise<void> bothStarted[2];
  for (auto& p : bothStarted) {
    pool.submit(0, [&ran, &ended, &p] {
      ++ran;
      p.set_value();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ++ended;
    });
  }
  for (auto& p : bothStarted) p.get_future().wait();
  for (int i = 0; i < 10; ++i) pool.submit(0, [&] { ++ran; });
  pool.stop();
  EXPECT_EQ(ended.load(), 2);  // the running ones ended before stop returned
  EXPECT_EQ(ran.load(), 2);    // the waiting ones never started
  pool.submit(0, [&] { ++ran; });
  EXPECT_EQ(pool.unfinished(), 0u);
}

// One that goes alone waits for those running and holds back those that come after it.
TEST(SharedGate, AloneWaitsForTheOthersAndHoldsBackNewcomers) {
  SharedGate gate;
  std::mutex m;
  std::vector<std::string> log;
  auto note = [&](const char* what) {
    std::lock_guard lock(m);
    log.emplace_back(what);
  };
  auto first = std::make_unique<SharedGate::Pass>(&gate);
  std::thread alone([&] {
    SharedGate::Pass pass(&gate);
    pass.goAlone();
    note("alone");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    note("alone done");
  });
  while (gate.waitingAlone() == 0) std::this_thread::yield();
  std::thread later([&] {
    SharedGate::Pass pass(&gate);
    note("later");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  note("first done");
  first.reset();
  alone.join();
  later.join();
  EXPECT_EQ(log, (std::vector<std::string>{"first done", "alone", "alone done", "later"}));
}

TEST(TaskPool, DecodingLeavesTheUserThreadACore) {
  const struct {
    unsigned most, cores, threads;
  } cases[] = {{4, 0, 1}, {4, 1, 1}, {4, 2, 1}, {4, 3, 2}, {4, 8, 4}, {0, 8, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(TaskPool::threadsFor(c.most, c.cores), c.threads) << c.cores << " cores";
  }
}

}  // namespace
}  // namespace risview
