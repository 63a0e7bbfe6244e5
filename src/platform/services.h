// Platform services the core needs, as small interfaces. The DLL passes the
// Win32 implementations; tests pass recording doubles (tests/core/doubles.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/waits.h"

namespace risview {

// Message box style flags, with the platform's values.
namespace mb {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kIconHand = 0x10;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kServiceNotification = 0x200000;
}  // namespace mb

// An opaque native window handle (HWND on Windows), 0 for "no owner".
using WindowRef = std::uintptr_t;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal box and waits for the user; returns the platform's result code.
  virtual int show(std::string_view text, std::string_view caption, unsigned style,
                   WindowRef owner = 0) = 0;
};

class DebugOutput {
 public:
  virtual ~DebugOutput() = default;
  // One diagnostic line for an attached debugger; nothing reads it back.
  virtual void write(std::string_view line) = 0;
};

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
};

class Locale {
 public:
  virtual ~Locale() = default;
  // A time of day in the user's short time format (pattern "t"). Throws ConversionError
  // when hour, minute or second do not form a valid time.
  virtual std::string shortTime(int hour, int minute, int second) const = 0;
};

// A file opened for reading by parts: a picture's header is a few hundred bytes at the front
// of a file of megabytes, often on a share where every byte read crosses the network.
class FileReader {
 public:
  virtual ~FileReader() = default;
  virtual uint64_t size() const = 0;
  // Up to count bytes at offset: fewer only at the end of the file; nullopt when the read
  // fails.
  virtual std::optional<std::string> read(uint64_t offset, size_t count) = 0;
};

// Files and process facts. Paths are UTF-8 and written the Windows way ("C:\\dir\\file");
// the POSIX implementation maps backslashes to slashes.
class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::string currentDirectory() const = 0;
  // Full path of the running process's executable (the host, not this library).
  virtual std::string executablePath() const = 0;
  // The file's bytes, or nullopt when it cannot be read.
  virtual std::optional<std::string> readFile(const std::string& path) const = 0;
  // The file for reading by parts, or nullptr when it cannot be opened. Unless an
  // environment reads by parts itself, the file is read whole through readFile and the parts
  // are cut from that.
  virtual std::unique_ptr<FileReader> openFile(const std::string& path) const;
  // An environment variable of the process; nullopt when it is not set.
  virtual std::optional<std::string> variable(const std::string& name) const;
};

// The text with every "%NAME%" of a variable that is set replaced by its value, as Windows
// expands a path; an unset name and a lone "%" stay as they are.
std::string expandVariables(std::string_view text, const Environment& env);

// The diagnostic log of a call: one line per step, for a site to send when a clinician
// reports a problem. What a step says never holds a patient's name, number or report text,
// nor a login.
class StepLog {
 public:
  virtual ~StepLog() = default;
  // Where this call's steps go: a file path, or "" for nowhere (no log).
  virtual void start(const std::string& path) = 0;
  // One step: what it was, how long it took and how it ended. Never throws.
  virtual void step(std::string_view what, double milliseconds, std::string_view outcome) = 0;
};

// A process opened with the rights to end it and to wait on it; released with the object.
class ProcessHandle {
 public:
  virtual ~ProcessHandle() = default;
  // Ends the process with the exit code; false when the platform refuses.
  virtual bool terminate(unsigned exitCode) = 0;
};

// One process of a snapshot: its id and the executable file name the snapshot reports.
struct ProcessEntry {
  uint32_t id = 0;
  std::string exeName;
};

// Window and process services of the image viewer launch: closing the viewer's windows,
// ending browser processes and handing the viewer address to the shell.
class ViewerPlatform {
 public:
  virtual ~ViewerPlatform() = default;
  // A top-level window of the class, any title, of any process; 0 when there is none.
  virtual WindowRef findTopLevelWindow(std::string_view className) = 0;
  // Sends the window-close message and returns once the window has handled it, or after at
  // most the time given: false when it did not answer in time (its thread hung or busy) or
  // the window is gone, with the reason as the last error.
  virtual bool sendClose(WindowRef window, unsigned timeoutMs) = 0;
  virtual void sleep(unsigned milliseconds) = 0;
  // Handles the messages pending for the calling thread, then returns.
  virtual void pumpMessages() = 0;
  // The platform's message text for the calling thread's last error code.
  virtual std::string lastErrorText() = 0;
  // Every process of the system; nullopt when no snapshot can be taken.
  virtual std::optional<std::vector<ProcessEntry>> processes() = 0;
  // The logon session a process runs in (one per user on a terminal server); nullopt when
  // the system does not tell, with the reason as the last error.
  virtual std::optional<uint32_t> sessionOf(uint32_t processId) = 0;
  // The session of the calling process.
  virtual std::optional<uint32_t> currentSession() = 0;
  // nullptr when the process cannot be opened.
  virtual std::unique_ptr<ProcessHandle> openProcess(uint32_t processId) = 0;
  // Asks the shell to perform the verb on the file or address: no parameters, no working
  // directory, no owner window. Returns the shell's result (above 32: it managed).
  virtual int shellExecute(std::string_view verb, std::string_view file, int showCommand) = 0;
};

// The workstation's protection of secrets at rest (DPAPI on Windows).
class Secrets {
 public:
  virtual ~Secrets() = default;
  // The clear bytes of a protected blob; nullopt when this machine cannot read it (made on
  // another machine, damaged, or no protection here at all).
  virtual std::optional<std::string> unprotect(std::string_view blob) const = 0;
};

// Everything a unit of the core may need from the platform, passed down explicitly.
struct Services {
  MessageBoxes& boxes;
  DebugOutput& debug;
  const Clock& clock;
  const Locale& locale;
  const Environment& env;
  std::string applicationTitle;
  // Only the report list's open action uses it: the library sets it, tools that never open
  // a request may leave it out.
  ViewerPlatform* viewer = nullptr;
  // How large our windows are drawn, in percent of their 96-dpi design: 100 in a host the
  // system scales for its monitor (one that is not DPI aware), else the monitor's DPI / 96.
  int displayPercent = 100;
  // Where the steps that wait run: the library's keeps the host's thread answering; left
  // out, they run inline.
  Waits* waits = nullptr;
  // Where the steps of a call are logged; left out, they are not.
  StepLog* log = nullptr;
  // What reads the option file's protected passwords; left out, none can be read.
  const Secrets* secrets = nullptr;
};

// A monotonic time in milliseconds, for durations (log_file_win.cpp, log_file_posix.cpp): the
// C++ clocks of the Windows builds would import functions the library has no other use for.
double monotonicMilliseconds();

// Times one step from its construction and logs it once with its outcome (done), or as
// "failed" if it goes out of scope first. Costs nothing without a log.
class LoggedStep {
 public:
  LoggedStep(StepLog* log, std::string what);
  LoggedStep(const Services& services, std::string what)
      : LoggedStep(services.log, std::move(what)) {}
  ~LoggedStep();
  LoggedStep(const LoggedStep&) = delete;
  LoggedStep& operator=(const LoggedStep&) = delete;
  void done(std::string_view outcome);
  // Not logged after all.
  void dismiss() { log_ = nullptr; }

 private:
  StepLog* log_;
  std::string what_;
  double startedMs_ = 0;
};

// Message boxes that log each box shown, with its text, as a step of the call.
class LoggedBoxes : public MessageBoxes {
 public:
  LoggedBoxes(MessageBoxes& boxes, StepLog& log) : boxes_(boxes), log_(log) {}
  int show(std::string_view text, std::string_view caption, unsigned style,
           WindowRef owner = 0) override;

 private:
  MessageBoxes& boxes_;
  StepLog& log_;
};

// The services' waits, or a shared inline one when they have none.
Waits& waitsOf(const Services& services);

// "HH:mm", the short time of a Chinese Windows, whatever the machine's settings: for tools
// whose output must be the same everywhere. An impossible time throws ConversionError.
class FixedLocale : public Locale {
 public:
  std::string shortTime(int hour, int minute, int second) const override;
};

// The title every message box carries: the module's file name without its directory,
// cut before its first ".", every character after the first in lower case (ABCView.DLL
// gives Abcview).
std::string applicationTitleFromModulePath(std::string_view modulePath);

}  // namespace risview
