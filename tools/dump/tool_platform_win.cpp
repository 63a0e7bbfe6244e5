#include "dump/tool_platform.h"
#include "platform/win32.h"

namespace risview::dump {

ToolEnvironment::ToolEnvironment() : system_(std::make_unique<win::Win32Environment>()) {}
ToolEnvironment::~ToolEnvironment() = default;

ToolClock::ToolClock() : system_(std::make_unique<win::Win32Clock>()) {}
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
