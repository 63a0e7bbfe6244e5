// Win32 helpers shared by the _win files: wide strings, owned handles, and the
// platform services' Win32 implementations.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_log.h"
#include "platform/services.h"

namespace risview::win {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// The GDI objects (and memory device contexts, image lists, icons, metafiles) the library
// holds, counted where they are made and freed: the system's own count is not available on
// every platform the library runs on, and a leak shows here first.
long gdiObjectsHeld();
void gdiMade(const void* handle);  // counts a handle that is not null
void gdiFreed(bool freed);
// With RISVIEW_TRACE_RESOURCES set (soak runs), a debugger line of the count.
void traceResources(const char* when);
template <typename Handle>
Handle counted(Handle h) {
  gdiMade(h);
  return h;
}

// Owns a GDI object.
struct GdiDeleter {
  void operator()(HGDIOBJ h) const {
    if (h) gdiFreed(DeleteObject(h) != FALSE);
  }
};
using unique_font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
using unique_brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using unique_pen = std::unique_ptr<std::remove_pointer_t<HPEN>, GdiDeleter>;
using unique_bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiDeleter>;

// Owns an icon made from a file or from memory (not a shared one from a module's resources).
struct IconDeleter {
  void operator()(HICON h) const {
    if (h) gdiFreed(DestroyIcon(h) != FALSE);
  }
};
using unique_icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct EnhMetaFileDeleter {
  void operator()(HENHMETAFILE h) const {
    if (h) gdiFreed(DeleteEnhMetaFile(h) != FALSE);
  }
};
using unique_enhmetafile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, EnhMetaFileDeleter>;

// Owns a device context made with CreateCompatibleDC or CreateDC.
struct DcDeleter {
  void operator()(HDC h) const {
    if (h) gdiFreed(DeleteDC(h) != FALSE);
  }
};
using unique_dc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// Owns a kernel handle; INVALID_HANDLE_VALUE, which some calls return for "none", is kept
// out by ownHandle.
struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h) CloseHandle(h);
  }
};
using unique_handle = std::unique_ptr<void, HandleCloser>;
inline unique_handle ownHandle(HANDLE h) {
  return unique_handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

class Win32MessageBoxes : public MessageBoxes {
 public:
  int show(std::string_view text, std::string_view caption, unsigned style,
           WindowRef owner) override;
};

// Debugger output in code page 936, as a debugger attached to the host expects it.
class Win32DebugOutput : public DebugOutput {
 public:
  void write(std::string_view line) override;
};

class Win32Clock : public Clock {
 public:
  LocalDateTime now() const override;
};

class Win32Locale : public Locale {
 public:
  std::string shortTime(int hour, int minute, int second) const override;
};

class Win32Environment : public Environment {
 public:
  std::string currentDirectory() const override;
  std::string executablePath() const override;
  std::optional<std::string> readFile(const std::string& path) const override;
  std::unique_ptr<FileReader> openFile(const std::string& path) const override;
  std::optional<std::string> variable(const std::string& name) const override;
};

// DPAPI blobs of machine scope: readable by every user of the workstation that made them,
// by no other machine.
class Win32Secrets : public Secrets {
 public:
  std::optional<std::string> unprotect(std::string_view blob) const override;
};

// Each step leaves the thread's last error as the underlying call set it, for lastErrorText.
class Win32ViewerPlatform : public ViewerPlatform {
 public:
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
};

// The steps that wait run on data threads while the calling thread (the host's) answers its
// messages without taking input: the host's windows are disabled, the library's windows
// keep their close gestures, whose close ends the run (Waits::endRun).
// The data threads are the call's: started as its steps first need them (one for each step
// of the widest wait, the three connections), each taking the next step as the last one
// returns, and ended by endCall, before the call returns to the host.
class Win32Waits : public Waits {
 public:
  Win32Waits();
  ~Win32Waits() override;
  Win32Waits(const Win32Waits&) = delete;
  Win32Waits& operator=(const Win32Waits&) = delete;
  // Ends the data threads and waits for them; the next step starts them again.
  void endCall() noexcept;
  // How many data threads were started since this was made.
  size_t threadsStarted() const;

 protected:
  void runAll(const std::vector<Work>& work) override;
  void beginBatch() override;
  void endBatch() noexcept override;

 private:
  struct Threads;
  std::unique_ptr<Threads> threads_;
};

// A step is waiting on this process's data threads now: our windows show the wait cursor.
bool waitInProgress();

// The module this code is linked into (the DLL, or the test executable).
HMODULE thisModule();

// A system library by its file name, from the system folder only: a file of that name beside
// the host or in its current folder is never loaded. Null when it cannot be loaded.
HMODULE loadSystemLibrary(const wchar_t* name);

// Keeps this module in the process until it ends, saying why once in the debugger output:
// for when something of ours may still be called after the host frees the library.
void pinThisModule(const char* why);

// The display scale our windows take (Services::displayPercent): 100 unless the calling
// thread is DPI aware, then the system's DPI in percent of 96. The library never changes
// the host's awareness; the functions of newer systems are looked up, not imported.
int displayPercent();

// The process-wide set of Win32 services, titled after this module.
struct Platform {
  Win32MessageBoxes boxes;
  Win32DebugOutput debug;
  Win32Clock clock;
  Win32Locale locale;
  Win32Environment env;
  Win32ViewerPlatform viewer;
  Win32Waits waits;
  // Started by each call's data module from the option file, silent until then.
  FileLog log{debug, clock, [] { return static_cast<uint32_t>(GetCurrentThreadId()); }};
  LoggedBoxes loggedBoxes{boxes, log};
  Win32Secrets secrets;
  Services services(std::string title) {
    return {loggedBoxes,      debug,  clock, locale,  env, std::move(title), &viewer,
            displayPercent(), &waits, &log,  &secrets};
  }
};

// The application title: the module's own file name, as every box is captioned.
std::string moduleTitle();

// Fills r with the colour without a brush object (an opaque ExtTextOut), leaving the DC's
// background colour as it was.
inline void fillRect(HDC dc, const RECT& r, COLORREF color) {
  const COLORREF previous = SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, previous);
}

}  // namespace risview::win
