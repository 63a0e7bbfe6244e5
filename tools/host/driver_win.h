// The scenario driver: a thread of its own that plays a script against the windows the
// library shows while the host's calling thread sits inside ShowTarnel. It acts only
// through window messages and Win32 queries, and writes what it sees as JSON lines.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/script.h"

namespace risview::host {

// The calls of the host, as the calling thread makes them and the driver waits for them.
// With a script, the calling thread makes each call once the driver has reached its `call`
// line, so that what the script does before (starting programs) comes first.
class CallLog {
 public:
  explicit CallLog(int planned) : planned_(planned) {}
  // The driver has reached the next `call` line.
  void permit();
  // Waits until call `index` (from 0) is permitted.
  void awaitPermit(size_t index);
  void started();
  // `changed`: what the call left different in the calling thread's state (its
  // floating-point control), empty when nothing.
  void returned(int value, std::string changed = {});
  // The result of call `index` (from 0), waiting at most `ms`; nullopt when it has not
  // returned by then.
  std::optional<int> result(size_t index, DWORD ms);
  // What call `index`, returned, left changed.
  std::string changed(size_t index) const;
  // A host that frees the library after each call has done so after the last one.
  void unloaded();
  // Waits until the library has been freed `count` times, at most `ms`.
  bool awaitUnloaded(int count, DWORD ms);
  bool running() const;
  // Every planned call has returned.
  bool finished() const;
  int startedCount() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int planned_;
  size_t permitted_ = 0;
  int started_ = 0;
  std::vector<int> results_;
  std::vector<std::string> changes_;
  int unloaded_ = 0;
};

// One JSON object per line, written by both threads.
class Transcript {
 public:
  explicit Transcript(const std::wstring& path);
  ~Transcript();
  bool isOpen() const { return file_ != nullptr; }
  void write(const std::string& jsonLine);

 private:
  std::mutex mutex_;
  FILE* file_ = nullptr;
};

// The host's main window and the message that makes it call the library from inside a run.
inline constexpr wchar_t kHostWindowClass[] = L"TRisviewHost";
inline constexpr UINT kNestedCallMessage = WM_APP + 7;

// What the script's commands leave for the ones after them, and what they act with.
struct PlayState {
  PlayState(CallLog& log, DWORD thread, std::wstring helperFolder)
      : calls(log), uiThread(thread), helpers(std::move(helperFolder)) {}

  CallLog& calls;
  DWORD uiThread;        // the host's calling thread
  std::wstring helpers;  // the folder of the programs the script's `start` lines name
  HHOOK hook = nullptr;  // the message hook on the calling thread (settle)
  long settleSequence = 0;
  HWND window = nullptr;  // the window the last `wait` found
  DWORD timeoutMs = 20000;
  size_t nextResult = 0;
  std::map<std::string, HANDLE> processes;  // the started programs, by the script's name
  size_t launchesSeen = 0;                  // browser launches that expect-launch matched
  int windowsCounted = -1;                  // the last count-windows, none yet
  IUnknown* accessible = nullptr;           // kept as a screen reader keeps it (keep-accessible)
  bool accessibleApartment = false;         // this thread joined COM for it
};

class StepTable;

class Driver {
 public:
  // `helpers`: the folder of the programs the script's `start` lines name.
  Driver(Script script, Transcript& transcript, CallLog& calls, DWORD uiThread,
         std::wstring helpers);
  ~Driver();
  // Starts the thread. Call before the first ShowTarnel.
  void start();
  // Waits for the script's end, handling the calling thread's messages meanwhile as a
  // host's main loop does (another program pasting what a call copied asks this thread for
  // it), and ends the programs it started; true when every command
  // passed. A failing command does not come back here: it reports and ends the process (the
  // library's windows may still be open on the calling thread; the started programs end
  // with the host).
  bool finish();

 private:
  void run();
  void execute(const Command& command, const StepTable& steps);
  void awaitLastCall();
  [[noreturn]] void failAndExit(const Command* command, const std::string& message);

  Script script_;
  Transcript& transcript_;
  PlayState state_;
  std::thread thread_;
  std::atomic<bool> over_{false};  // the script has run to its end
  bool passed_ = false;
  ULONGLONG started_ = 0;
};

}  // namespace risview::host
