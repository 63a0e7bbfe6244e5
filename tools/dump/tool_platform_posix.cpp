#include "dump/tool_platform.h"
#include "platform/posix_services.h"

namespace risview::dump {

std::unique_ptr<Environment> systemEnvironment() {
  return std::make_unique<posix::PosixEnvironment>();
}

std::unique_ptr<Clock> systemClock() {
  return std::make_unique<posix::SystemClock>();
}

}  // namespace risview::dump
