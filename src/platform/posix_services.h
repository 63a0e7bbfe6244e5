// Platform services for the native tools: files through the POSIX file system (Windows
// paths have their backslashes read as slashes) and the system clock. Built only for the
// native targets.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/services.h"

namespace risview::posix {

class PosixEnvironment : public Environment {
 public:
  std::string currentDirectory() const override;
  std::string executablePath() const override { return {}; }
  std::optional<std::string> readFile(const std::string& path) const override;
  std::unique_ptr<FileReader> openFile(const std::string& path) const override;
  std::optional<std::string> variable(const std::string& name) const override;
};

// The system's local time.
class SystemClock : public Clock {
 public:
  LocalDateTime now() const override;
};

}  // namespace risview::posix
