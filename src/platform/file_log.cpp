#include "platform/file_log.h"

#include <cstdio>

namespace risview {

namespace {

// A line is one line: a text with a line break of its own cannot forge the next one.
void appendFlat(std::string& out, std::string_view text) {
  for (char c : text) out += (c == '\r' || c == '\n') ? ' ' : c;
}

}  // namespace

FileLog::FileLog(DebugOutput& debug, const Clock& clock, std::function<uint32_t()> threadId)
    : debug_(debug), clock_(clock), threadId_(std::move(threadId)) {}

void FileLog::start(const std::string& path) {
  std::lock_guard lock(mutex_);
  path_ = path;
  failed_ = false;
}

void FileLog::step(std::string_view what, double milliseconds, std::string_view outcome) {
  try {
    std::lock_guard lock(mutex_);
    if (path_.empty() || failed_) return;
    LocalDateTime t = clock_.now();
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%u] ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond,
                  static_cast<unsigned>(threadId_()));
    std::string line = head;
    appendFlat(line, what);
    char took[32];
    std::snprintf(took, sizeof took, " %.1f ms: ", milliseconds);
    line += took;
    appendFlat(line, outcome);
    line += "\r\n";

    std::optional<uint64_t> size = log_file::size(path_);
    if (size && *size + line.size() > kCapBytes) rotate();
    if (!log_file::append(path_, line)) {
      failed_ = true;
      debug_.write("The diagnostic log " + path_ + " cannot be written: this call is not logged");
    }
  } catch (...) {
    // The log is a help, never a reason for the call to fail.
  }
}

void FileLog::rotate() {
  // The oldest is replaced by the one before it.
  for (int i = kKept - 1; i >= 1; --i) {
    log_file::move(path_ + "." + std::to_string(i), path_ + "." + std::to_string(i + 1));
  }
  // A reader that holds the file without sharing its deletion keeps it where it is; the
  // line is then written past the cap, and the move is tried again with the next.
  log_file::move(path_, path_ + ".1");
}

}  // namespace risview
