#include "platform/waits.h"

namespace risview {

std::vector<std::exception_ptr> Waits::all(const std::vector<Work>& steps) {
  std::vector<std::exception_ptr> errors(steps.size());
  std::vector<Work> work;
  work.reserve(steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    work.emplace_back([&, i] { capture(errors[i], steps[i]); });
  }
  wait(work, {});
  return errors;
}

void Waits::wait(const std::vector<Work>& work, const std::function<void()>& cancel) {
  if (ended_) throw RunEnded();
  struct Depth {
    Waits& waits;
    Depth(Waits& w, const std::function<void()>& cancel) : waits(w) {
      waits.cancels_.push_back(&cancel);
      ++waits.depth_;
    }
    ~Depth() {
      --waits.depth_;
      waits.cancels_.pop_back();
    }
  } depth(*this, cancel);
  runAll(work);
  if (ended_) throw RunEnded();
}

bool Waits::endRun() {
  if (depth_ == 0) return false;
  if (!ended_) {
    ended_ = true;
    for (const auto* cancel : cancels_) {
      if (*cancel) (*cancel)();
    }
  }
  return true;
}

}  // namespace risview
