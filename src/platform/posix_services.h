// Platform services for the native tools: files through the POSIX file system (Windows
// paths have their backslashes read as slashes), the system clock, a fixed "HH:mm" short
// time. Built only for the native targets.
#pragma once

#include <optional>
#include <string>

#include "platform/services.h"

namespace risview::posix {

class PosixEnvironment : public Environment {
 public:
  std::string currentDirectory() const override;
  std::string executablePath() const override { return executable; }
  std::optional<std::string> readFile(const std::string& path) const override;
  std::string executable;  // the host program a tool stands in for
};

// The system's local time, or a fixed date (at the system's time of day) when one is set.
class SystemClock : public Clock {
 public:
  LocalDateTime now() const override;
  std::optional<LocalDateTime> fixedDate;
};

// "HH:mm", the short time of a Chinese Windows; an impossible time throws ConversionError.
class FixedLocale : public Locale {
 public:
  std::string shortTime(int hour, int minute, int second) const override;
};

}  // namespace risview::posix
