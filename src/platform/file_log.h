// The diagnostic log as a file a site can send: shared for reading while it is written,
// kept below a size, the older lines in up to three numbered files beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace risview {

// The log's file operations, one file per platform (log_file_win.cpp, log_file_posix.cpp).
namespace log_file {
// The file's size; nullopt when it does not exist or cannot be looked at.
std::optional<uint64_t> size(const std::string& path);
// Appends the bytes, creating the file; others may read, write or rename it meanwhile.
bool append(const std::string& path, std::string_view bytes);
// Renames the file, replacing one of the new name; false when it cannot.
bool move(const std::string& from, const std::string& to);
}  // namespace log_file

class FileLog : public StepLog {
 public:
  static constexpr uint64_t kCapBytes = uint64_t{1} << 20;
  static constexpr int kKept = 3;

  // threadId names the calling thread as the platform's tools name it.
  FileLog(DebugOutput& debug, const Clock& clock, std::function<uint32_t()> threadId);

  // Lines go to path from now on ("" : nowhere). A path that could not be written before is
  // tried again.
  void start(const std::string& path) override;
  // "2024-03-05 10:00:00.123 [1234] what 12.3 ms: outcome". A line that would take the file
  // past the cap first moves it to ".1" (".1" to ".2", ".2" to ".3"). When the file cannot be
  // written, the call goes on without a log and the debugger output says so once.
  void step(std::string_view what, double milliseconds, std::string_view outcome) override;

 private:
  void rotate();

  DebugOutput& debug_;
  const Clock& clock_;
  std::function<uint32_t()> threadId_;
  std::mutex mutex_;  // steps come from the host's thread and the data threads
  std::string path_;
  bool failed_ = false;
};

}  // namespace risview
