#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>

#include "platform/errors.h"
#include "platform/posix_services.h"

namespace risview::posix {

std::string PosixEnvironment::currentDirectory() const {
  std::string buffer(4096, '\0');
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return {};
  buffer.resize(buffer.find('\0'));
  return buffer;
}

std::optional<std::string> PosixEnvironment::readFile(const std::string& path) const {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  std::ifstream in(native, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

LocalDateTime SystemClock::now() const {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  LocalDateTime now{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
  if (fixedDate) {
    now.year = fixedDate->year;
    now.month = fixedDate->month;
    now.day = fixedDate->day;
  }
  return now;
}

std::string FixedLocale::shortTime(int hour, int minute, int second) const {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw ConversionError("Invalid argument to time encode");
  }
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

}  // namespace risview::posix
