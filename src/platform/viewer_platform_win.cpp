// The image viewer launch's window and process services on Win32.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

#include "platform/message_pump_win.h"
#include "platform/win32.h"

namespace risview::win {

namespace {

class Win32Process : public ProcessHandle {
 public:
  explicit Win32Process(unique_handle handle) : handle_(std::move(handle)) {}
  bool terminate(unsigned exitCode) override {
    return TerminateProcess(handle_.get(), exitCode) != FALSE;
  }

 private:
  unique_handle handle_;
};

}  // namespace

WindowRef Win32ViewerPlatform::findTopLevelWindow(std::string_view className) {
  const std::wstring name = widen(className);
  return reinterpret_cast<WindowRef>(FindWindowW(name.c_str(), nullptr));
}

bool Win32ViewerPlatform::sendClose(WindowRef window, unsigned timeoutMs) {
  DWORD_PTR result = 0;
  // The viewer is another program: one whose thread no longer takes messages is given up
  // on at once, a busy one after the time given, so that this thread (the host's) is never
  // held by it. Messages sent to this thread meanwhile are handled, as a plain send would.
  return SendMessageTimeoutW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

void Win32ViewerPlatform::sleep(unsigned milliseconds) {
  Sleep(milliseconds);
}

// A quit belongs to the host's own loop, once the library's windows are done: it ends this
// and is posted again.
void Win32ViewerPlatform::pumpMessages() {
  win::pumpMessages(PumpRules{});
}

std::string Win32ViewerPlatform::lastErrorText() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view message(text ? text : L"", text ? n : 0);
  // The system's texts end with a line break, which a debugger line does not need.
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.remove_suffix(1);
  }
  std::string out = narrow(message);
  LocalFree(text);
  return out;
}

std::optional<std::vector<ProcessEntry>> Win32ViewerPlatform::processes() {
  unique_handle snapshot = ownHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::nullopt;
  std::vector<ProcessEntry> out;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    out.push_back({entry.th32ProcessID, narrow(entry.szExeFile)});
  }
  return out;
}

std::optional<uint32_t> Win32ViewerPlatform::sessionOf(uint32_t processId) {
  DWORD session = 0;
  if (!ProcessIdToSessionId(processId, &session)) return std::nullopt;
  return session;
}

std::optional<uint32_t> Win32ViewerPlatform::currentSession() {
  return sessionOf(GetCurrentProcessId());
}

std::unique_ptr<ProcessHandle> Win32ViewerPlatform::openProcess(uint32_t processId) {
  unique_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process) return nullptr;
  return std::make_unique<Win32Process>(std::move(process));
}

int Win32ViewerPlatform::shellExecute(std::string_view verb, std::string_view file,
                                      int showCommand) {
  // The hand-off may run on a data thread, and the shell wants COM on the thread that calls
  // it; a thread that has it already keeps it as it is.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring wideVerb = widen(verb), wideFile = widen(file);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // The thread ends soon after the call: the shell finishes its work before returning
  // instead of leaving it to a thread of its own in a library that may be freed by then.
  info.fMask = SEE_MASK_NOASYNC;
  info.lpVerb = wideVerb.c_str();
  info.lpFile = wideFile.c_str();
  info.nShow = showCommand;
  const BOOL started = ShellExecuteExW(&info);
  // The shell's own result: above 32 when it started something, else its error number.
  const auto result = reinterpret_cast<intptr_t>(info.hInstApp);
  if (SUCCEEDED(com)) CoUninitialize();
  if (started) return result > 32 ? static_cast<int>(result) : 33;
  return result > 0 && result <= 32 ? static_cast<int>(result) : 0;
}

}  // namespace risview::win
