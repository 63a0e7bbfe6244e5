#include "dump/tool_platform.h"
#include "platform/win32.h"

namespace risview::dump {

std::unique_ptr<Environment> systemEnvironment() {
  return std::make_unique<win::Win32Environment>();
}

std::unique_ptr<Clock> systemClock() {
  return std::make_unique<win::Win32Clock>();
}

}  // namespace risview::dump
