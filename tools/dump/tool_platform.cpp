#include "dump/tool_platform.h"

namespace risview::dump {

ToolEnvironment::ToolEnvironment() : system_(systemEnvironment()) {}
ToolEnvironment::~ToolEnvironment() = default;

ToolClock::ToolClock() : system_(systemClock()) {}
ToolClock::~ToolClock() = default;

LocalDateTime ToolClock::now() const {
  LocalDateTime now = system_->now();
  if (fixedDate) {
    now.year = fixedDate->year;
    now.month = fixedDate->month;
    now.day = fixedDate->day;
  }
  return now;
}

}  // namespace risview::dump
