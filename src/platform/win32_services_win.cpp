#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>

#include "platform/errors.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace risview::win {

std::wstring widen(std::string_view utf8) {
  std::u16string u = utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string narrow(std::wstring_view wide) {
  return utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

int Win32MessageBoxes::show(std::string_view text, std::string_view caption, unsigned style,
                            WindowRef owner) {
  return MessageBoxW(reinterpret_cast<HWND>(owner), widen(text).c_str(), widen(caption).c_str(),
                     style);
}

void Win32DebugOutput::write(std::string_view line) {
  OutputDebugStringA(utf8ToCp936(line).c_str());
}

LocalDateTime Win32Clock::now() const {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::string Win32Locale::shortTime(int hour, int minute, int second) const {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw ConversionError("Invalid argument to time encode");
  }
  SYSTEMTIME t{};
  t.wYear = 2000, t.wMonth = 1, t.wDay = 1;
  t.wHour = static_cast<WORD>(hour), t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  wchar_t pattern[80] = L"";
  wchar_t out[80] = L"";
  const wchar_t* format = nullptr;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTTIME, pattern, 80) > 0) format = pattern;
  int n = GetTimeFormatW(LOCALE_USER_DEFAULT, format ? 0 : TIME_NOSECONDS, &t, format, out, 80);
  return n > 0 ? narrow(out) : std::string();
}

std::string Win32Environment::currentDirectory() const {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(std::size(buffer)), buffer);
  return n > 0 && n < std::size(buffer) ? narrow(std::wstring_view(buffer, n)) : std::string();
}

std::optional<std::string> Win32Environment::variable(const std::string& name) const {
  std::wstring wideName = widen(name);
  DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
  value.resize(n);
  return narrow(value);
}

std::string Win32Environment::executablePath() const {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  return narrow(std::wstring_view(buffer, n));
}

namespace {

// Option files are small and report pictures are read whole to be drawn; a file past 64 MiB
// is neither, and reading it would only strain a 32-bit host.
constexpr LONGLONG kMaxFileBytes = 64 << 20;

class Win32FileReader : public FileReader {
 public:
  Win32FileReader(unique_handle file, uint64_t size) : file_(std::move(file)), size_(size) {}
  uint64_t size() const override { return size_; }
  std::optional<std::string> read(uint64_t offset, size_t count) override {
    if (offset >= size_) return std::string();
    std::string bytes(static_cast<size_t>(std::min<uint64_t>(count, size_ - offset)), '\0');
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN)) return std::nullopt;
    size_t got = 0;
    while (got < bytes.size()) {
      DWORD read = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - got, 1U << 30));
      if (!ReadFile(file_.get(), bytes.data() + got, want, &read, nullptr)) return std::nullopt;
      if (read == 0) break;  // the file became shorter since it was opened
      got += read;
    }
    bytes.resize(got);
    return bytes;
  }

 private:
  unique_handle file_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<FileReader> Win32Environment::openFile(const std::string& path) const {
  // A folder cannot be opened this way, as in readFile; deleting or replacing a picture
  // while a page reads its header is not held up either.
  unique_handle file = ownHandle(CreateFileW(
      widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  // Sized as readFile reads it: a device, which has no size, and a file past the bound read
  // as empty, so that every part read agrees with what is later read whole for drawing.
  LARGE_INTEGER size{};
  const bool sized = GetFileSizeEx(file.get(), &size) && size.QuadPart < kMaxFileBytes;
  return std::make_unique<Win32FileReader>(std::move(file),
                                           sized ? static_cast<uint64_t>(size.QuadPart) : 0);
}

std::optional<std::string> Win32Environment::readFile(const std::string& path) const {
  HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart < kMaxFileBytes) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
      read = 0;
    }
    bytes.resize(read);
  }
  CloseHandle(file);
  return bytes;
}

namespace {
std::atomic<long> gdiHeld{0};
}

long gdiObjectsHeld() {
  return gdiHeld.load();
}

void gdiMade(const void* handle) {
  if (handle) ++gdiHeld;
}

void gdiFreed(bool freed) {
  if (freed) --gdiHeld;
}

void traceResources(const char* when) {
  static const bool wanted = GetEnvironmentVariableW(L"RISVIEW_TRACE_RESOURCES", nullptr, 0) > 0;
  if (!wanted) return;
  char line[128];
  wsprintfA(line, "risview: GDI objects held %.60s: %ld", when, gdiHeld.load());
  OutputDebugStringA(line);
}

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

HMODULE loadSystemLibrary(const wchar_t* name) {
  if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // Windows 7 without its loader update refuses the flag: the full path does the same.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path(folder, n);
  path += L'\\';
  path += name;
  return LoadLibraryW(path.c_str());
}

void pinThisModule(const char* why) {
  static std::atomic<bool> pinned{false};
  if (pinned.exchange(true)) return;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&pinThisModule), &module);
  char line[256];
  wsprintfA(line, "risview: the library stays loaded until the process ends: %.200s", why);
  OutputDebugStringA(line);
}

namespace {

// A function of the system's that older versions lack, or null.
template <typename Function>
Function systemFunction(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int displayPercent() {
  const HMODULE user = GetModuleHandleW(L"user32.dll");
  if (!user) return 100;
  // Windows 10 1607: the thread's own awareness (a host may set it per thread); before it,
  // Vista's process-wide flag.
  using ThreadContext = HANDLE(WINAPI*)();
  using AwarenessOf = int(WINAPI*)(HANDLE);
  using ProcessAware = BOOL(WINAPI*)();
  using SystemDpi = UINT(WINAPI*)();
  const auto threadContext = systemFunction<ThreadContext>(user, "GetThreadDpiAwarenessContext");
  const auto awarenessOf = systemFunction<AwarenessOf>(user, "GetAwarenessFromDpiAwarenessContext");
  bool aware = false;
  if (threadContext && awarenessOf) {
    aware = awarenessOf(threadContext()) > 0;  // -1 invalid, 0 unaware
  } else if (const auto processAware = systemFunction<ProcessAware>(user, "IsProcessDPIAware")) {
    aware = processAware() != FALSE;
  }
  if (!aware) return 100;
  UINT dpi = 0;
  if (const auto systemDpi = systemFunction<SystemDpi>(user, "GetDpiForSystem")) {
    dpi = systemDpi();
  } else if (HDC screen = GetDC(nullptr)) {
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? MulDiv(static_cast<int>(dpi), 100, 96) : 100;
}

std::string moduleTitle() {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(thisModule(), buffer, static_cast<DWORD>(std::size(buffer)));
  return applicationTitleFromModulePath(narrow(std::wstring_view(buffer, n)));
}

}  // namespace risview::win
