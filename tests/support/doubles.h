// Recording doubles of the platform services, shared by the core suites.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"

namespace risview::testing {

struct RecordedBox {
  std::string text, caption;
  unsigned style = 0;
  WindowRef owner = 0;
  bool operator==(const RecordedBox&) const = default;
};

class RecordingBoxes : public MessageBoxes {
 public:
  int show(std::string_view text, std::string_view caption, unsigned style,
           WindowRef owner) override {
    shown.push_back({std::string(text), std::string(caption), style, owner});
    return 1;
  }
  std::vector<RecordedBox> shown;
};

class RecordingDebug : public DebugOutput {
 public:
  void write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalDateTime t = {2024, 3, 5, 10, 0, 0}) : at(t) {}
  LocalDateTime now() const override { return at; }
  LocalDateTime at;
};

// Short time as "HH:mm", the way a Chinese locale writes it.
using TestLocale = FixedLocale;

// Files live in memory under Windows-style paths; the current directory and the host
// executable's path are settable.
class FakeEnvironment : public Environment {
 public:
  std::string currentDirectory() const override { return cwd; }
  std::string executablePath() const override { return exe; }
  std::optional<std::string> readFile(const std::string& path) const override {
    ++reads;
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> variable(const std::string& name) const override {
    auto it = variables.find(name);
    if (it == variables.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::string, std::string> variables;
  std::string cwd = "C:\\work";
  std::string exe = "C:\\App\\Host.exe";
  std::map<std::string, std::string> files;  // path -> bytes
  mutable int reads = 0;
};

// The viewer launch's platform, scripted: at most one viewer window, which gives in after
// a number of close requests or whose thread never answers them; a process list, or no
// snapshot at all; processes that cannot be opened; the session of each process. Every
// call is noted in `calls`, in order; each last-error text is new ("error 1", "error 2",
// ...), so a text asked for once and written twice shows. A launch that keeps asking the
// viewer to close long after any bound throws instead of running on.
class RecordingViewer : public ViewerPlatform {
 public:
  static constexpr WindowRef kViewerWindow = 0x4d2;

  WindowRef findTopLevelWindow(std::string_view className) override;
  bool sendClose(WindowRef window, unsigned timeoutMs) override;
  void sleep(unsigned milliseconds) override;
  void pumpMessages() override;
  std::string lastErrorText() override;
  std::optional<std::vector<ProcessEntry>> processes() override;
  std::optional<uint32_t> sessionOf(uint32_t processId) override;
  std::optional<uint32_t> currentSession() override;
  std::unique_ptr<ProcessHandle> openProcess(uint32_t processId) override;
  int shellExecute(std::string_view verb, std::string_view file, int showCommand) override;

  static constexpr uint32_t kOwnSession = 1;
  std::optional<int> viewerRefusals;  // the viewer window's refusals; nullopt: no viewer open
  bool viewerHung = false;            // its close requests all time out
  std::optional<std::vector<ProcessEntry>> snapshot = std::vector<ProcessEntry>{};
  std::set<uint32_t> unopenable;
  std::optional<uint32_t> ownSession = kOwnSession;
  std::map<uint32_t, std::optional<uint32_t>> sessions;  // unlisted processes: kOwnSession
  std::function<void()> onPump;                          // runs inside each pumpMessages
  std::vector<std::string> calls;
  int errorsAsked = 0;
};

// Runs every wait inline, in order, and notes how many pieces of work each wait held.
// onWait runs inside each wait before its work (a window closed while it waits, say).
class RecordingWaits : public Waits {
 public:
  std::vector<size_t> waits;
  std::function<void()> onWait;

 protected:
  void runAll(const std::vector<Work>& work) override {
    waits.push_back(work.size());
    if (onWait) onWait();
    for (const Work& w : work) w();
  }
};

// Notes where the log was started and each step as "what: outcome" (durations vary).
class RecordingLog : public StepLog {
 public:
  void start(const std::string& path) override { starts.push_back(path); }
  void step(std::string_view what, double, std::string_view outcome) override {
    std::lock_guard lock(mutex);
    steps.push_back(std::string(what) + ": " + std::string(outcome));
  }
  std::vector<std::string> starts, steps;
  std::mutex mutex;
};

// Reads the blobs this "machine" made: "here:" followed by the clear text.
class FakeSecrets : public Secrets {
 public:
  std::optional<std::string> unprotect(std::string_view blob) const override {
    if (!blob.starts_with("here:")) return std::nullopt;
    return std::string(blob.substr(5));
  }
};

// A bundle of doubles with a Services view onto them.
struct FakeServices {
  RecordingBoxes boxes;
  RecordingDebug debug;
  FixedClock clock;
  TestLocale locale;
  FakeEnvironment env;
  RecordingViewer viewer;
  RecordingWaits waits;
  RecordingLog log;
  FakeSecrets secrets;
  Services services() {
    return Services{boxes,   debug, clock,  locale, env,     "Risview",
                    &viewer, 100,   &waits, &log,   &secrets};
  }
};

}  // namespace risview::testing
