// The calls of the library, and the host and runner around them.
#include "host/step_win.h"

#include <psapi.h>

#include <algorithm>

namespace risview::host {

namespace {

void call(Step& s) {
  s.state.calls.permit();
}

void expectReturn(Step& s) {
  const long expected = s.command.args.empty() ? 1 : s.number(0);
  PlayState& play = s.state;
  auto value = play.calls.result(play.nextResult, s.limitMs());
  if (!value) {
    throw Failure("ShowTarnel call " + std::to_string(play.nextResult + 1) +
                  " did not return within " + std::to_string(s.limitMs() / 1000) +
                  " s; windows open:" + describeOpenWindows());
  }
  const std::string changed = play.calls.changed(play.nextResult);
  s.record.add("call", static_cast<int>(++play.nextResult)).add("value", *value);
  if (*value != expected) {
    throw Failure("ShowTarnel returned " + std::to_string(*value) + ", expected " +
                  std::to_string(expected));
  }
  if (!changed.empty()) throw Failure("ShowTarnel left the calling thread's " + changed);
}

// The runner acts on the signal (its `on-signal` line) while the library goes on: it sees
// signals\NAME.wait in the current folder and answers with signals\NAME.done.
void signalRunner(Step& s) {
  const std::wstring base = L"signals\\" + toWide(s.arg(0));
  HANDLE f = CreateFileW((base + L".wait").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) throw Failure("cannot signal " + s.arg(0) + ": no signals folder");
  CloseHandle(f);
  const ULONGLONG end = GetTickCount64() + s.limitMs();
  while (GetFileAttributesW((base + L".done").c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() >= end) throw Failure("the runner did not act on signal " + s.arg(0));
    Sleep(20);
  }
}

HWND hostWindow() {
  for (HWND top : processWindows()) {
    if (className(top) == "TRisviewHost") return top;
  }
  throw Failure("the host has no main window");
}

// The host calls the library again from inside the running call, and that call must
// return at once.
void nestedCall(Step& s) {
  HWND host = hostWindow();
  SetWindowLongPtrW(host, GWLP_USERDATA, 0);
  PostMessageW(host, kNestedCallMessage, 0, 0);
  // within=MS: the host's thread must take the message that soon, wherever the call is.
  const auto within = s.command.option("within");
  const ULONGLONG limit = within ? std::stoul(*within) : s.limitMs();
  const ULONGLONG end = GetTickCount64() + limit;
  LONG_PTR got = 0;
  while ((got = GetWindowLongPtrW(host, GWLP_USERDATA)) == 0) {
    if (GetTickCount64() >= end) {
      throw Failure("the nested call did not return within " + std::to_string(limit) +
                    " ms; windows open:" + describeOpenWindows());
    }
    Sleep(10);
  }
  s.record.add("value", static_cast<int>(got - 1));
  s.expectEqual("nested call's result", "1", std::to_string(got - 1));
}

void expectHostEnabled(Step& s) {
  s.settle();
  const bool expected = s.arg(0) == "yes";
  const bool actual = IsWindowEnabled(hostWindow()) != FALSE;
  s.record.add("enabled", actual);
  if (expected != actual) {
    throw Failure(std::string("the host's window is ") + (actual ? "enabled" : "disabled") +
                  ", expected " + (expected ? "enabled" : "disabled"));
  }
}

// The host (host-reload) has freed the library after the call that returned last.
void waitUnloaded(Step& s) {
  const size_t returned = s.state.nextResult;
  if (!s.state.calls.awaitUnloaded(static_cast<int>(returned), s.limitMs())) {
    throw Failure("the host did not free the library after call " + std::to_string(returned));
  }
}

// What the process holds now, for soak runs: its windows and its private bytes.
void resources(Step& s) {
  s.settle();
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof memory);
  s.record
      .add("windows", windowCount())
      // The commit charge: what Windows reports as private bytes (Wine leaves PrivateUsage 0).
      .add("privateBytes",
           static_cast<long long>(std::max(memory.PrivateUsage, memory.PagefileUsage)))
      .add("peakWorkingSet", static_cast<long long>(memory.PeakWorkingSetSize))
      .add("calls", s.state.calls.startedCount());
  if (!s.command.args.empty()) s.record.add("label", s.arg(0));
}

}  // namespace

void addCallSteps(StepTable& table) {
  table.add("call", call);
  table.add("expect-return", expectReturn);
  table.add("signal", signalRunner);
  table.add("nested-call", nestedCall);
  table.add("expect-host-enabled", expectHostEnabled);
  table.add("wait-unloaded", waitUnloaded);
  table.add("resources", resources);
}

}  // namespace risview::host
