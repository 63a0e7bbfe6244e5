// The platform services of a command-line tool, on either platform: the machine's files and
// current folder, a host program named on the command line, and the system's clock with the
// date fixed when one is given.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/services.h"

namespace risview::dump {

// The machine's own services (tool_platform_posix.cpp or tool_platform_win.cpp).
std::unique_ptr<Environment> systemEnvironment();
std::unique_ptr<Clock> systemClock();

class ToolEnvironment : public Environment {
 public:
  ToolEnvironment();
  ~ToolEnvironment() override;
  std::string currentDirectory() const override { return system_->currentDirectory(); }
  std::string executablePath() const override { return executable; }
  std::optional<std::string> readFile(const std::string& path) const override {
    return system_->readFile(path);
  }
  std::unique_ptr<FileReader> openFile(const std::string& path) const override {
    return system_->openFile(path);
  }
  std::optional<std::string> variable(const std::string& name) const override {
    return system_->variable(name);
  }
  std::string executable;  // the host program the tool stands in for

 private:
  std::unique_ptr<Environment> system_;
};

// The system's local time, or a fixed date at the system's time of day.
class ToolClock : public Clock {
 public:
  ToolClock();
  ~ToolClock() override;
  LocalDateTime now() const override;
  std::optional<LocalDateTime> fixedDate;

 private:
  std::unique_ptr<Clock> system_;
};

}  // namespace risview::dump
