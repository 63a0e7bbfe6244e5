#include "support/doubles.h"

#include <cstdio>
#include <stdexcept>

#include "platform/errors.h"

namespace risview::testing {

namespace {

class RecordedProcess : public ProcessHandle {
 public:
  RecordedProcess(std::vector<std::string>& calls, uint32_t id) : calls_(calls), id_(id) {}
  ~RecordedProcess() override { calls_.push_back("release " + std::to_string(id_)); }
  bool terminate(unsigned exitCode) override {
    calls_.push_back("terminate " + std::to_string(id_) + " " + std::to_string(exitCode));
    return true;
  }

 private:
  std::vector<std::string>& calls_;
  uint32_t id_;
};

}  // namespace

WindowRef RecordingViewer::findTopLevelWindow(std::string_view className) {
  calls.push_back("find " + std::string(className));
  return viewerRefusals && className == "TViewerForm" ? kViewerWindow : 0;
}

bool RecordingViewer::sendClose(WindowRef window, unsigned timeoutMs) {
  calls.push_back((window == kViewerWindow ? "close viewer " : "close other ") +
                  std::to_string(timeoutMs));
  if (calls.size() > 1000) throw std::logic_error("the launch never stops closing the viewer");
  if (viewerHung) return false;
  if (window == kViewerWindow && viewerRefusals && (*viewerRefusals)-- == 0) {
    viewerRefusals.reset();
  }
  return true;
}

void RecordingViewer::sleep(unsigned milliseconds) {
  calls.push_back("sleep " + std::to_string(milliseconds));
}

void RecordingViewer::pumpMessages() {
  calls.emplace_back("pump");
  if (onPump) onPump();
}

std::string RecordingViewer::lastErrorText() {
  return "error " + std::to_string(++errorsAsked);
}

std::optional<std::vector<ProcessEntry>> RecordingViewer::processes() {
  calls.emplace_back(snapshot ? "snapshot" : "snapshot fails");
  return snapshot;
}

std::optional<uint32_t> RecordingViewer::sessionOf(uint32_t processId) {
  calls.push_back("session " + std::to_string(processId));
  auto it = sessions.find(processId);
  return it == sessions.end() ? kOwnSession : it->second;
}

std::optional<uint32_t> RecordingViewer::currentSession() {
  calls.emplace_back("session own");
  return ownSession;
}

std::unique_ptr<ProcessHandle> RecordingViewer::openProcess(uint32_t processId) {
  calls.push_back("open " + std::to_string(processId));
  if (unopenable.count(processId)) return nullptr;
  return std::make_unique<RecordedProcess>(calls, processId);
}

int RecordingViewer::shellExecute(std::string_view verb, std::string_view file, int showCommand) {
  calls.push_back("shell " + std::string(verb) + " " + std::string(file) + " " +
                  std::to_string(showCommand));
  return 42;
}

}  // namespace risview::testing
