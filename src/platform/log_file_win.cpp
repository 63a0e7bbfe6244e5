#include <windows.h>

#include "platform/file_log.h"
#include "platform/win32.h"

namespace risview::log_file {

std::optional<uint64_t> size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(win::widen(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool append(const std::string& path, std::string_view bytes) {
  // Shared for everything, so the file can be read, copied, sent or moved aside while the
  // host runs.
  win::unique_handle file =
      win::ownHandle(CreateFileW(win::widen(path).c_str(), FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool move(const std::string& from, const std::string& to) {
  return MoveFileExW(win::widen(from).c_str(), win::widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
         0;
}

}  // namespace risview::log_file

namespace risview {

double monotonicMilliseconds() {
  LARGE_INTEGER counter{}, frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart ? static_cast<double>(counter.QuadPart) * 1000.0 /
                                  static_cast<double>(frequency.QuadPart)
                            : 0.0;
}

}  // namespace risview
