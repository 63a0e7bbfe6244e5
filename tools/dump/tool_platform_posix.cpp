#include "dump/tool_platform.h"
#include "platform/posix_services.h"

namespace risview::dump {

ToolEnvironment::ToolEnvironment() : system_(std::make_unique<posix::PosixEnvironment>()) {}
ToolEnvironment::~ToolEnvironment() = default;

ToolClock::ToolClock() : system_(std::make_unique<posix::SystemClock>()) {}
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
