#include "platform/task_pool.h"

#include <algorithm>

namespace risview {

TaskPool::TaskPool(unsigned threads, Task threadStart)
    : threadCount_(std::max(threads, 1u)), threadStart_(std::move(threadStart)) {}

TaskPool::~TaskPool() {
  stop();
}

unsigned TaskPool::threadsFor(unsigned most, unsigned cores) {
  return std::clamp(cores > 1 ? cores - 1 : 1u, 1u, std::max(most, 1u));
}

void TaskPool::submit(int priority, Task task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    waiting_.emplace(std::pair{priority, submitted_++}, std::move(task));
    // A thread more only while the tasks outnumber the threads that would take them.
    if (threads_.size() < threadCount_ && waiting_.size() + running_ > threads_.size()) {
      threads_.emplace_back([this] { run(); });
    }
  }
  wake_.notify_one();
}

void TaskPool::stop() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& t : threads) t.join();
}

size_t TaskPool::unfinished() const {
  std::lock_guard lock(mutex_);
  return waiting_.size() + running_;
}

void TaskPool::hold(bool held) {
  {
    std::lock_guard lock(mutex_);
    held_ = held;
  }
  wake_.notify_all();
}

void TaskPool::run() {
  try {
    if (threadStart_) threadStart_();
  } catch (...) {
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || (!held_ && !waiting_.empty()); });
    if (stopping_) return;
    Task task = std::move(waiting_.begin()->second);
    waiting_.erase(waiting_.begin());
    ++running_;
    lock.unlock();
    try {
      task();
    } catch (...) {
    }
    // Whatever the task held goes before the count says it ended.
    task = nullptr;
    lock.lock();
    --running_;
  }
}

SharedGate::Pass::Pass(SharedGate* gate) : gate_(gate) {
  if (!gate_) return;
  std::unique_lock lock(gate_->mutex_);
  gate_->changed_.wait(lock, [this] { return !gate_->alone_ && gate_->waitingAlone_ == 0; });
  ++gate_->sharing_;
}

void SharedGate::Pass::goAlone() {
  if (!gate_ || alone_) return;
  std::unique_lock lock(gate_->mutex_);
  --gate_->sharing_;
  ++gate_->waitingAlone_;
  gate_->changed_.notify_all();
  gate_->changed_.wait(lock, [this] { return !gate_->alone_ && gate_->sharing_ == 0; });
  --gate_->waitingAlone_;
  gate_->alone_ = alone_ = true;
}

SharedGate::Pass::~Pass() {
  if (!gate_) return;
  {
    std::lock_guard lock(gate_->mutex_);
    if (alone_) {
      gate_->alone_ = false;
    } else {
      --gate_->sharing_;
    }
  }
  gate_->changed_.notify_all();
}

}  // namespace risview
