#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>

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
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace risview::posix
