// Programs beside the library (a viewer window, browser stand-ins, a screen reader's hold on
// an accessible object), and the debugger output the runner checks.
#include "host/step_win.h"

#include <oleacc.h>

#include <algorithm>
#include <cstdio>

namespace risview::host {

// IID_IAccessible, spelled out: the x86_64 MinGW import library resolves its symbol to an
// import stub rather than the GUID.
constexpr GUID kIAccessibleId = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

namespace {

// The addresses the browser was asked to open during this run: the runner points the Wine
// prefix's browser at a script that appends each one as a line to browser.log in the run
// folder, the current directory. A line without its line end is still being written.
std::vector<std::string> browserLaunches() {
  HANDLE file = CreateFileW(L"browser.log", GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = bytes.find('\n', pos)) != std::string::npos; pos = end + 1) {
    lines.push_back(bytes.substr(pos, end - pos));
  }
  return lines;
}

std::string exitStatus(HANDLE process) {
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return std::to_string(code);
}

std::string hresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// Each program learns the host's process id first, and ends when the host does.
PROCESS_INFORMATION launch(Step& s, const std::wstring& path) {
  std::wstring commandLine = L"\"" + path + L"\" " + std::to_wstring(GetCurrentProcessId());
  for (size_t i = 1; i < s.command.args.size(); ++i) {
    commandLine += L" \"" + toWide(s.arg(i)) + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    throw Failure("cannot start " + toUtf8(path) + " (error " + std::to_string(GetLastError()) +
                  ")");
  }
  CloseHandle(info.hThread);
  return info;
}

void start(Step& s) {
  std::wstring path = s.state.helpers + L"\\" + toWide(s.arg(0));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  const PROCESS_INFORMATION info = launch(s, path);
  auto& processes = s.state.processes;
  if (auto old = processes.find(s.arg(0)); old != processes.end()) CloseHandle(old->second);
  processes[s.arg(0)] = info.hProcess;
  s.record.add("pid", static_cast<long long>(info.dwProcessId));
  // Ready once it waits for input: a window it makes exists by then.
  const DWORD ready = WaitForInputIdle(info.hProcess, s.limitMs());
  if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) {
    throw Failure(s.arg(0) + " ended at once with status " + exitStatus(info.hProcess));
  }
  if (ready != 0) {
    throw Failure(s.arg(0) + " was not ready within " + std::to_string(s.limitMs() / 1000) + " s");
  }
}

HANDLE startedProcess(const Step& s) {
  auto it = s.state.processes.find(s.arg(0));
  if (it == s.state.processes.end()) {
    throw Failure("no `start " + s.arg(0) + "` before this line");
  }
  return it->second;
}

void expectProcess(Step& s) {
  HANDLE process = startedProcess(s);
  if (s.arg(1) == "running") {
    s.settle();
    if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) {
      throw Failure(s.arg(0) + " has ended, with status " + exitStatus(process));
    }
    return;
  }
  // Ended by another process, it may take a moment to be gone.
  if (WaitForSingleObject(process, s.limitMs()) != WAIT_OBJECT_0) {
    throw Failure(s.arg(0) + " is still running after " + std::to_string(s.limitMs() / 1000) +
                  " s");
  }
  const std::string status = exitStatus(process);
  s.record.add("status", status);
  if (auto code = s.command.option("code")) {
    s.expectEqual("exit status of " + s.arg(0), std::to_string(parseLong(*code)), status);
  }
}

void expectLaunch(Step& s) {
  std::vector<std::string> launches;
  const ULONGLONG end = GetTickCount64() + s.limitMs();
  // The browser starts in processes of its own, after the shell call has returned.
  while ((launches = browserLaunches()).size() <= s.state.launchesSeen) {
    if (GetTickCount64() >= end) {
      throw Failure("the browser was not started within " + std::to_string(s.limitMs() / 1000) +
                    " s");
    }
    Sleep(20);
  }
  const std::string& address = launches[s.state.launchesSeen++];
  s.record.add("address", address);
  s.expectEqual("address the browser opened", s.arg(0), address);
}

void expectNoLaunch(Step& s) {
  s.settle();
  auto launches = browserLaunches();
  if (launches.size() > s.state.launchesSeen) {
    throw Failure("the browser was started on " + quote(launches[s.state.launchesSeen]));
  }
}

// This thread takes a sheet's accessible object and keeps it, as a screen reader does,
// from an apartment of its own: each call on it goes through the system's stub.
void keepAccessible(Step& s) {
  HWND sheet = s.control();
  PlayState& play = s.state;
  if (!play.accessibleApartment) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) throw Failure("no COM here");
    play.accessibleApartment = true;
  }
  if (play.accessible) play.accessible->Release();
  play.accessible = nullptr;
  void* object = nullptr;
  const HRESULT hr =
      AccessibleObjectFromWindow(sheet, static_cast<DWORD>(OBJID_CLIENT), kIAccessibleId, &object);
  s.record.add("hresult", hresultText(hr));
  if (FAILED(hr) || !object) throw Failure("no accessible object for " + s.arg(0));
  play.accessible = static_cast<IUnknown*>(object);
}

// connected: the kept object answers; disconnected: the system answers for it that it is
// gone (never an exception code from code that is no longer there).
void expectAccessible(Step& s) {
  if (!s.state.accessible) throw Failure("no keep-accessible before it");
  long count = -1;
  const HRESULT hr = static_cast<IAccessible*>(s.state.accessible)->get_accChildCount(&count);
  s.record.add("hresult", hresultText(hr));
  // Wine answers a call on an object whose stub is gone with its RPC runtime's "unknown
  // interface" once no stub of that interface is left in the apartment.
  const bool disconnected = hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED ||
                            hr == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF);
  const bool connected = s.arg(0) == "connected";
  if (connected ? hr != S_OK : !disconnected) {
    throw Failure("the kept accessible object answered " + hresultText(hr) + ", expected " +
                  (connected ? "S_OK" : "a COM disconnection error"));
  }
}

// Debugger output is not readable from inside the process: these only go into the
// transcript, and the scenario runner checks them against what the debugger channel saw.
void expectDebug(Step& s) {
  if (auto part = s.command.option("contains")) {
    s.record.add("contains", *part);
  } else {
    s.record.add("text", s.arg(0));
  }
}

void rejectDebug(Step& s) {
  s.record.add("contains", s.arg(0));
}

}  // namespace

void addProgramSteps(StepTable& table) {
  table.add("start", start);
  table.add("expect-process", expectProcess);
  table.add("expect-launch", expectLaunch);
  table.add("expect-no-launch", expectNoLaunch);
  table.add("keep-accessible", keepAccessible);
  table.add("expect-accessible", expectAccessible);
  table.add("expect-debug", expectDebug);
  table.add("reject-debug", rejectDebug);
}

}  // namespace risview::host
