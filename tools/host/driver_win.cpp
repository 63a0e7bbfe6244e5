#include "host/driver_win.h"

#include <chrono>

#include "host/json.h"
#include "host/step_win.h"
#include "host/ui_win.h"

namespace risview::host {

// ---------------------------------------------------------------------------------------

void CallLog::permit() {
  std::lock_guard lock(mutex_);
  ++permitted_;
  changed_.notify_all();
}

void CallLog::awaitPermit(size_t index) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return permitted_ > index; });
}

void CallLog::started() {
  std::lock_guard lock(mutex_);
  ++started_;
  changed_.notify_all();
}

void CallLog::returned(int value, std::string changed) {
  std::lock_guard lock(mutex_);
  results_.push_back(value);
  changes_.push_back(std::move(changed));
  changed_.notify_all();
}

void CallLog::unloaded() {
  std::lock_guard lock(mutex_);
  ++unloaded_;
  changed_.notify_all();
}

bool CallLog::awaitUnloaded(int count, DWORD ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return unloaded_ >= count; });
}

std::optional<int> CallLog::result(size_t index, DWORD ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return results_.size() > index; });
  if (results_.size() > index) return results_[index];
  return std::nullopt;
}

std::string CallLog::changed(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < changes_.size() ? changes_[index] : std::string();
}

bool CallLog::running() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(started_) > results_.size();
}

bool CallLog::finished() const {
  std::lock_guard lock(mutex_);
  return results_.size() >= static_cast<size_t>(planned_);
}

int CallLog::startedCount() const {
  std::lock_guard lock(mutex_);
  return started_;
}

Transcript::Transcript(const std::wstring& path) {
  file_ = _wfopen(path.c_str(), L"wb");
}

Transcript::~Transcript() {
  if (file_) fclose(file_);
}

void Transcript::write(const std::string& jsonLine) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  fwrite(jsonLine.data(), 1, jsonLine.size(), file_);
  fputc('\n', file_);
  fflush(file_);
}

// ---------------------------------------------------------------------------------------

Driver::Driver(Script script, Transcript& transcript, CallLog& calls, DWORD uiThread,
               std::wstring helpers)
    : script_(std::move(script)),
      transcript_(transcript),
      state_(calls, uiThread, std::move(helpers)) {}

Driver::~Driver() {
  if (thread_.joinable()) thread_.join();
  for (const auto& [name, process] : state_.processes) CloseHandle(process);
}

void Driver::start() {
  started_ = GetTickCount64();
  settleMessage();
  state_.hook = SetWindowsHookExW(WH_GETMESSAGE, settleHook, nullptr, state_.uiThread);
  thread_ = std::thread([this] { run(); });
}

bool Driver::finish() {
  while (thread_.joinable() && !over_) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (thread_.joinable()) thread_.join();
  if (state_.hook) UnhookWindowsHookEx(state_.hook);
  state_.hook = nullptr;
  // Nothing the script started may meet the next run.
  for (const auto& [name, process] : state_.processes) {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
    }
  }
  return passed_;
}

// The runner's commands were done before the host started: the driver passes them by.
void Driver::execute(const Command& command, const StepTable& steps) {
  const StepHandler handler = steps.handler(*command.info);
  if (!handler) return;
  JsonObject record;
  record.add("line", command.line).add("cmd", command.name);
  const ULONGLONG begin = GetTickCount64();
  record.add("ms", static_cast<long long>(begin - started_));
  try {
    Step step(state_, command, record);
    handler(step);
  } catch (const std::exception& e) {
    transcript_.write(record.add("ok", false).add("error", e.what()).str());
    failAndExit(&command, e.what());
  }
  record.add("took", static_cast<long long>(GetTickCount64() - begin));
  transcript_.write(record.add("ok", true).str());
}

void Driver::run() {
  std::optional<StepTable> steps;
  try {
    steps.emplace();
  } catch (const std::logic_error& e) {
    failAndExit(nullptr, e.what());
  }
  for (const Command& command : script_.commands) execute(command, *steps);
  // A reader lets go of what it kept only now, whatever the library did meanwhile.
  if (state_.accessible) state_.accessible->Release();
  state_.accessible = nullptr;
  if (state_.accessibleApartment) CoUninitialize();
  awaitLastCall();
  transcript_.write(JsonObject().add("event", "end").add("passed", true).str());
  passed_ = true;
  over_ = true;
}

// The script is over: whatever call is still running must come to its end by itself.
void Driver::awaitLastCall() {
  const ULONGLONG end = GetTickCount64() + state_.timeoutMs;
  while (!state_.calls.finished()) {
    if (GetTickCount64() >= end) {
      failAndExit(nullptr, "the script has ended but ShowTarnel has not returned; windows open:" +
                               describeOpenWindows());
    }
    Sleep(10);
  }
}

void Driver::failAndExit(const Command* command, const std::string& message) {
  std::string where =
      command ? "line " + std::to_string(command->line) + ": " + command->source + "\n  "
              : std::string();
  std::string text = "scenario failed: " + where + message + "\n";
  transcript_.write(
      JsonObject().add("event", "end").add("passed", false).add("error", message).str());
  fflush(stdout);
  fwrite(text.data(), 1, text.size(), stderr);
  fflush(stderr);
  // The library's windows may still be open on the calling thread, waiting for a user
  // who is not coming: end the process here rather than unwind it.
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

}  // namespace risview::host
