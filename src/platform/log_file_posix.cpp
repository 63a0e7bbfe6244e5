#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_log.h"

namespace risview::log_file {

namespace {

// The native builds write Windows-style paths with slashes, as their Environment does.
std::filesystem::path native(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(path);
}

}  // namespace

std::optional<uint64_t> size(const std::string& path) {
  std::error_code ec;
  uintmax_t bytes = std::filesystem::file_size(native(path), ec);
  if (ec) return std::nullopt;
  return bytes;
}

bool append(const std::string& path, std::string_view bytes) {
  std::ofstream file(native(path), std::ios::binary | std::ios::app);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.flush();
  return static_cast<bool>(file);
}

bool move(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::rename(native(from), native(to), ec);
  return !ec;
}

}  // namespace risview::log_file

namespace risview {

double monotonicMilliseconds() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace risview
