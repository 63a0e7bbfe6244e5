// risview-host: loads the library the way a hospital program does and calls ShowTarnel,
// optionally with a scenario driver playing a script against the windows it shows.
//
//   risview-host [--dll PATH] [--calls N] [--clinic-null] [--hospital-null] [--dpi-aware]
//                [--dpi-unaware] [--ole] [--reload [--warmup N] [--growth-kib N]]
//                [--script FILE --transcript FILE [--helpers DIR]] [--probe FILE]
//                [CLINIC [HOSPITAL]]
//
// --probe FILE: a second thread posts to the host's main window every 10 ms and the window
// notes how long each message waited to be handled; FILE gets the longest wait (how long
// the host's thread stopped answering) and each call's length, in milliseconds.
// --dpi-aware marks the process DPI aware before the library is loaded, as a host built for
// high-DPI monitors is; --dpi-unaware marks it unaware, as Windows has a program without a
// DPI manifest (Wine makes every program aware unless told). --ole initialises OLE on the
// calling thread before the library is loaded and uninitialises it last, after the library is
// freed, as most programs with a user interface do. --reload loads the library before each
// call and frees it after, as many hospital programs do; after each free it notes whether
// the module and its window classes left the process, and the process's threads, windows
// and committed private memory; after the first --warmup cycles (default 3) the threads and
// windows must stay as they are and the heap memory in use grow by at most --growth-kib a
// cycle (default 64), else the host fails. The numbers are converted to code page
// 936, as a hospital program holds them; a null flag passes a null pointer whatever the
// position holds. --helpers names the folder of the programs a script starts (default:
// beside this program).
//
// Exit status: 0 when every call returned (and the scenario passed), 1 when the scenario
// failed, 2 when the library, its export or the script could not be used.
#include <windows.h>

#include <ole2.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <malloc.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/driver_win.h"
#include "host/json.h"
#include "host/script.h"
#include "host/ui_win.h"
#include "platform/floating_point_win.h"

namespace {

using risview::host::CallArgs;
using risview::host::toUtf8;
using risview::host::toWide;

using ShowTarnelFn = unsigned char(__stdcall*)(const char* clinicId, const char* hospitalId);

constexpr const char* kUsage =
    "usage: risview-host [--dll PATH] [--calls N] [--clinic-null] [--hospital-null] [--dpi-aware]\n"
    "                    [--dpi-unaware] [--ole] [--reload [--warmup N] [--growth-kib N]]\n"
    "                    [--script FILE --transcript FILE [--helpers DIR]] [--probe FILE]\n"
    "                    [CLINIC [HOSPITAL]]\n"
    "Calls ShowTarnel(CLINIC, HOSPITAL) of the library (default: risview.dll beside this\n"
    "program) N times; with a script, a driver thread plays it against the windows.\n"
    "--clinic-null and --hospital-null pass null pointers (\"\" keeps CLINIC's place).\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "risview-host: %s\n%s", message.c_str(), kUsage);
  return 2;
}

std::string lastErrorText() {
  DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = text ? toUtf8(text) : std::string();
  LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return "error " + std::to_string(code) + (out.empty() ? "" : ": " + out);
}

std::wstring besideThisProgram(const wchar_t* fileName) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  size_t slash = path.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + fileName;
}

std::optional<std::string> readFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// A hospital program holds its texts in the system's 8-bit code page; the library expects 936.
std::string toCp936(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::string hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

// What the call left different in this thread's floating-point control, empty when nothing.
std::string floatingPointChange(const risview::win::FloatingPointState& before,
                                const risview::win::FloatingPointState& after) {
  std::string out;
  if (after.x87 != before.x87) {
    out = "x87 control word at " + hex(after.x87) + ", not " + hex(before.x87);
  }
  if (after.mxcsr != before.mxcsr) {
    out += (out.empty() ? "" : " and ") + std::string("MXCSR at ") + hex(after.mxcsr) + ", not " +
           hex(before.mxcsr);
  }
  return out;
}

struct Options {
  std::wstring dll, helpers;
  std::optional<std::wstring> script, transcript, probe;
  int calls = 1;
  bool callsGiven = false;
  bool dpiAware = false, dpiUnaware = false;
  bool ole = false;
  bool reload = false;
  int warmup = 3, growthKib = 64;
  CallArgs args{std::string(), std::string()};
};

// An option that takes a value; an exit status when the value cannot be used.
std::optional<int> takeValue(const std::wstring& a, const std::wstring& v, Options& o) {
  if (a == L"--dll") o.dll = v;
  if (a == L"--helpers") o.helpers = v;
  if (a == L"--script") o.script = v;
  if (a == L"--transcript") o.transcript = v;
  if (a == L"--probe") o.probe = v;
  if (a == L"--warmup") o.warmup = _wtoi(v.c_str());
  if (a == L"--growth-kib") o.growthKib = _wtoi(v.c_str());
  if (a == L"--calls") {
    o.calls = _wtoi(v.c_str());
    o.callsGiven = true;
    if (o.calls < 1) return usageError("--calls needs a number of at least 1");
  }
  return std::nullopt;
}

// A switch of the host's; false when a is none.
bool takeSwitch(const std::wstring& a, Options& o, bool& clinicNull, bool& hospitalNull) {
  if (a == L"--clinic-null") return clinicNull = true;
  if (a == L"--hospital-null") return hospitalNull = true;
  if (a == L"--dpi-aware") return o.dpiAware = true;
  if (a == L"--dpi-unaware") return o.dpiUnaware = true;
  if (a == L"--ole") return o.ole = true;
  if (a == L"--reload") return o.reload = true;
  return false;
}

// The call's arguments from the numbers and switches given, and the folders' defaults.
std::optional<int> finishOptions(const std::vector<std::wstring>& positional, bool clinicNull,
                                 bool hospitalNull, Options& o) {
  if (positional.size() > 2) return usageError("at most two numbers: CLINIC and HOSPITAL");
  if (!positional.empty()) o.args.clinicId = toUtf8(positional[0]);
  if (positional.size() > 1) o.args.hospitalId = toUtf8(positional[1]);
  // A null pointer whatever the position holds: "" keeps the place of a null CLINIC.
  if (clinicNull) o.args.clinicId.reset();
  if (hospitalNull) o.args.hospitalId.reset();
  if (o.script.has_value() != o.transcript.has_value()) {
    return usageError("--script and --transcript go together");
  }
  if (o.dll.empty()) o.dll = besideThisProgram(L"risview.dll");
  if (o.helpers.empty()) o.helpers = besideThisProgram(L"");
  while (!o.helpers.empty() && (o.helpers.back() == L'\\' || o.helpers.back() == L'/')) {
    o.helpers.pop_back();
  }
  return std::nullopt;
}

// Returns an exit status when the command line cannot be used.
std::optional<int> parseCommandLine(int argc, wchar_t** argv, Options& o) {
  std::vector<std::wstring> positional;
  bool clinicNull = false, hospitalNull = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--help" || a == L"-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == L"--dll" || a == L"--script" || a == L"--transcript" || a == L"--calls" ||
        a == L"--helpers" || a == L"--probe" || a == L"--warmup" || a == L"--growth-kib") {
      if (i + 1 >= argc) return usageError(toUtf8(a) + " needs a value");
      if (std::optional<int> failed = takeValue(a, argv[++i], o)) return failed;
    } else if (takeSwitch(a, o, clinicNull, hospitalNull)) {
      continue;
    } else if (a.rfind(L"--", 0) == 0) {
      return usageError("unknown option " + toUtf8(a));
    } else {
      positional.push_back(a);
    }
  }
  return finishOptions(positional, clinicNull, hospitalNull, o);
}

// DPI_AWARENESS_CONTEXT_UNAWARE for the process (Windows 10 1703), else for this thread
// (1607); an older system has every program unaware anyway.
void markDpiUnaware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  using SetThreadContext = HANDLE(WINAPI*)(HANDLE);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  const HANDLE unaware = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
  if (auto process = reinterpret_cast<SetContext>(
          reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")))) {
    if (process(unaware)) return;
  }
  if (auto thread = reinterpret_cast<SetThreadContext>(
          reinterpret_cast<void*>(GetProcAddress(user, "SetThreadDpiAwarenessContext")))) {
    thread(unaware);
  }
}

// The host's own main window, as a hospital program has one: a modal run of the library
// must disable it. A scripted `nested-call` posts kNestedCallMessage to it, and it calls the
// library from inside whatever run is going on, as a host's timer might; the result goes to
// the window's user data (result + 1, 0 while none).
ShowTarnelFn nestedShowTarnel = nullptr;

// Microseconds on one clock for the probe thread and the host's thread.
uint32_t microseconds() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<uint32_t>(now.QuadPart * 1000000 / frequency);
}

// The probe's message carries the time it was posted; the host's window notes the longest
// time one waited (read by the host's thread only).
constexpr UINT kProbeMessage = WM_APP + 0x51;
uint32_t longestUnansweredUs = 0;
uint32_t longestAnsweredAtUs = 0;  // when the longest wait ended
long probesAnswered = 0;
// The longest wait of each call, by the call that was running when it ended.
std::vector<uint32_t> longestOfCallUs;

class Probe {
 public:
  explicit Probe(HWND window)
      : thread_([this, window] {
          while (!stop_) {
            PostMessageW(window, kProbeMessage, 0, static_cast<LPARAM>(microseconds()));
            Sleep(10);
          }
        }) {}
  ~Probe() {
    stop_ = true;
    thread_.join();
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

LRESULT CALLBACK hostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbeMessage) {
    const uint32_t waited = microseconds() - static_cast<uint32_t>(lParam);
    if (waited > longestUnansweredUs) {
      longestUnansweredUs = waited;
      longestAnsweredAtUs = microseconds();
    }
    if (!longestOfCallUs.empty() && waited > longestOfCallUs.back())
      longestOfCallUs.back() = waited;
    ++probesAnswered;
    return 0;
  }
  if (message == risview::host::kNestedCallMessage && nestedShowTarnel) {
    unsigned char result = nestedShowTarnel("", "");
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(result) + 1);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND createHostWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = hostWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = risview::host::kHostWindowClass;
  RegisterClassW(&wc);
  return CreateWindowExW(0, risview::host::kHostWindowClass, L"risview-host",
                         WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 200, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

// What the process holds after the library has been freed, and whether it has gone.
struct AfterUnload {
  bool moduleGone = false;
  bool classesGone = false;
  int threads = 0;
  int windows = 0;
  long long privateKib = 0;
  long long heapKib = 0;
};

// Bytes in use in the process's heap and the C runtime's, which the library allocates from:
// exact where the commit charge moves in the heap's steps.
long long heapBytesInUse() {
  HANDLE heaps[] = {GetProcessHeap(), reinterpret_cast<HANDLE>(_get_heap_handle())};
  long long bytes = 0;
  for (HANDLE heap : heaps) {
    if (!heap || (heap == heaps[1] && heaps[1] == heaps[0])) continue;
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    }
    HeapUnlock(heap);
  }
  return bytes;
}

BOOL CALLBACK countChild(HWND, LPARAM data) {
  ++*reinterpret_cast<int*>(data);
  return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM data) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<int*>(data);
  EnumChildWindows(window, countChild, data);
  return TRUE;
}

AfterUnload measureAfterUnload(const std::wstring& dll, HMODULE freed) {
  AfterUnload a;
  a.moduleGone = GetModuleHandleW(dll.c_str()) == nullptr;
  a.classesGone = true;
  // The library's windows as site tools know them; each registered with the module.
  for (const wchar_t* name : {L"TfrmShowDetail", L"TMyPrintPageControl", L"TMyPrntPage"}) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(freed, name, &wc)) a.classesGone = false;
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++a.threads;
    }
    CloseHandle(snapshot);
  }
  EnumWindows(countWindow, reinterpret_cast<LPARAM>(&a.windows));
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof memory);
  // Wine leaves PrivateUsage 0; its PagefileUsage is the commit charge.
  a.privateKib = static_cast<long long>(std::max(memory.PrivateUsage, memory.PagefileUsage)) / 1024;
  a.heapKib = heapBytesInUse() / 1024;
  return a;
}

// Empty when every cycle let the library go and the process stayed flat after the warm-up.
std::string judgeCycles(const std::vector<AfterUnload>& cycles, int warmup, int growthKib) {
  for (size_t i = 0; i < cycles.size(); ++i) {
    const std::string cycle = "after cycle " + std::to_string(i + 1) + ": ";
    if (!cycles[i].moduleGone) return cycle + "the library is still loaded";
    if (!cycles[i].classesGone) return cycle + "a window class of the library is still registered";
  }
  const size_t base = static_cast<size_t>(warmup) - 1;
  if (warmup < 1 || cycles.size() <= base + 1) return {};
  const AfterUnload& from = cycles[base];
  const AfterUnload& to = cycles.back();
  const std::string span =
      " from cycle " + std::to_string(base + 1) + " to " + std::to_string(cycles.size()) + ": ";
  if (to.threads != from.threads) {
    return "threads" + span + std::to_string(from.threads) + " -> " + std::to_string(to.threads);
  }
  if (to.windows != from.windows) {
    return "windows" + span + std::to_string(from.windows) + " -> " + std::to_string(to.windows);
  }
  const long long allowed =
      static_cast<long long>(growthKib) * static_cast<long long>(cycles.size() - 1 - base);
  if (to.heapKib - from.heapKib > allowed) {
    return "heap memory in use" + span + std::to_string(from.heapKib) + " -> " +
           std::to_string(to.heapKib) + " KiB, more than " + std::to_string(growthKib) +
           " KiB a cycle";
  }
  return {};
}

// The calls to make: the command line's, or the script's own `call` lines; an exit status
// when the script cannot be used.
std::optional<int> readScript(const Options& options, std::optional<risview::host::Script>& script,
                              std::vector<CallArgs>& calls, bool& scriptedCalls) {
  if (!options.script) return std::nullopt;
  auto text = readFile(*options.script);
  if (!text) return usageError("cannot read " + toUtf8(*options.script));
  try {
    script = risview::host::parseScript(*text);
  } catch (const risview::host::ScriptError& e) {
    std::fprintf(stderr, "%s: %s\n", toUtf8(*options.script).c_str(), e.what());
    return 2;
  }
  auto scripted = script->calls();
  scriptedCalls = !scripted.empty();
  if (scriptedCalls) {
    if (options.callsGiven) return usageError("the script has its own `call` lines");
    calls = scripted;
  }
  return std::nullopt;
}

// The library under test, loaded and freed as the host's options say.
struct Library {
  HMODULE module = nullptr;
  ShowTarnelFn showTarnel = nullptr;

  // Returns an exit status when the library cannot be used.
  std::optional<int> load(const std::wstring& dll) {
    module = LoadLibraryW(dll.c_str());
    if (!module) {
      std::fprintf(stderr, "risview-host: cannot load %s (%s)\n", toUtf8(dll).c_str(),
                   lastErrorText().c_str());
      return 2;
    }
    showTarnel = reinterpret_cast<ShowTarnelFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "ShowTarnel")));
    if (!showTarnel) {
      std::fprintf(stderr, "risview-host: %s exports no ShowTarnel (%s)\n", toUtf8(dll).c_str(),
                   lastErrorText().c_str());
      return 2;
    }
    nestedShowTarnel = showTarnel;
    return std::nullopt;
  }
};

// One call of ShowTarnel with the floating-point state the call asks for; its result, logged
// and written to the transcript, and its length added to callMs.
unsigned char callOnce(const CallArgs& call, ShowTarnelFn showTarnel, risview::host::CallLog& log,
                       risview::host::Transcript* transcript, std::vector<double>& callMs) {
  // The library copies both texts at once; they only need to live through the call.
  std::optional<std::string> clinic, hospital;
  if (call.clinicId) clinic = toCp936(toWide(*call.clinicId));
  if (call.hospitalId) hospital = toCp936(toWide(*call.hospitalId));
  // A host that unmasks floating-point exceptions, as some hospital programs run.
  const risview::win::FloatingPointState host = risview::win::floatingPointState();
  risview::win::FloatingPointState wanted = host;
  if (call.x87) wanted.x87 = static_cast<uint16_t>(*call.x87);
  if (call.mxcsr) wanted.mxcsr = *call.mxcsr;
  risview::win::setFloatingPointState(wanted);
  const risview::win::FloatingPointState before = risview::win::floatingPointState();
  log.started();
  const uint32_t callStart = microseconds();
  longestOfCallUs.push_back(0);
  unsigned char result =
      showTarnel(clinic ? clinic->c_str() : nullptr, hospital ? hospital->c_str() : nullptr);
  // Read before this thread does any arithmetic of its own, which would raise its flags.
  const risview::win::FloatingPointState after = risview::win::floatingPointState();
  callMs.push_back((microseconds() - callStart) / 1000.0);
  risview::win::setFloatingPointState(host);
  log.returned(result, floatingPointChange(before, after));
  if (transcript) {
    transcript->write(risview::host::JsonObject()
                          .add("event", "returned")
                          .add("call", log.startedCount())
                          .add("value", static_cast<int>(result))
                          .add("x87", hex(after.x87))
                          .add("mxcsr", hex(after.mxcsr))
                          .str());
  }
  std::printf("ShowTarnel returned %d\n", result);
  std::fflush(stdout);
  return result;
}

// Frees the library after a call and records what it left behind.
void unloadAndMeasure(Library& library, const std::wstring& dll, std::vector<AfterUnload>& cycles,
                      risview::host::CallLog& log, risview::host::Transcript* transcript) {
  HMODULE freed = library.module;
  nestedShowTarnel = nullptr;
  FreeLibrary(library.module);
  library.module = nullptr;
  const AfterUnload& a = cycles.emplace_back(measureAfterUnload(dll, freed));
  risview::host::JsonObject unloaded;
  unloaded.add("event", "unloaded")
      .add("cycle", static_cast<int>(cycles.size()))
      .add("moduleGone", a.moduleGone)
      .add("classesGone", a.classesGone)
      .add("threads", a.threads)
      .add("windows", a.windows)
      .add("privateKib", a.privateKib)
      .add("heapKib", a.heapKib);
  if (transcript) transcript->write(unloaded.str());
  std::printf("%s\n", unloaded.str().c_str());
  std::fflush(stdout);
  log.unloaded();
}

// What the probe saw: the longest the host's thread left its messages unanswered, overall
// and in each call, and how long each call took.
void writeProbe(const std::wstring& path, uint32_t probeStartUs,
                const std::vector<double>& callMs) {
  // What was posted before the probe stopped and is still queued is not counted.
  risview::host::JsonObject result;
  result.add("longestUnansweredMs", longestUnansweredUs / 1000.0);
  // On the transcript's clock, roughly: milliseconds since the probe started.
  result.add("longestEndedAtMs", (longestAnsweredAtUs - probeStartUs) / 1000.0);
  result.add("probes", probesAnswered);
  risview::host::Json lengths = risview::host::Json::array();
  for (double ms : callMs) lengths.push_back(ms);
  result.add("callMs", lengths);
  risview::host::Json longest = risview::host::Json::array();
  for (uint32_t us : longestOfCallUs) longest.push_back(us / 1000.0);
  result.add("longestOfCallMs", longest);
  if (FILE* f = _wfopen(path.c_str(), L"w")) {
    std::fprintf(f, "%s\n", result.str().c_str());
    std::fclose(f);
  }
}

// The calls, each waiting for the driver's permission when the script holds them; an exit
// status when the library cannot be loaded again.
std::optional<int> runCalls(const Options& options, const std::vector<CallArgs>& calls,
                            bool scriptedCalls, Library& library, risview::host::CallLog& log,
                            risview::host::Transcript* transcript, std::vector<double>& callMs,
                            std::vector<AfterUnload>& cycles) {
  for (size_t index = 0; index < calls.size(); ++index) {
    if (scriptedCalls) log.awaitPermit(index);
    if (!library.module) {
      if (auto status = library.load(options.dll)) return status;
    }
    callOnce(calls[index], library.showTarnel, log, transcript, callMs);
    if (options.reload) unloadAndMeasure(library, options.dll, cycles, log, transcript);
  }
  return std::nullopt;
}

// The host's run; main's body.
int runHost() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options options;
  if (auto status = parseCommandLine(argc, argv, options)) return *status;
  LocalFree(argv);
  if (options.dpiAware) SetProcessDPIAware();
  if (options.dpiUnaware) markDpiUnaware();
  if (options.ole && FAILED(OleInitialize(nullptr))) {
    std::fprintf(stderr, "risview-host: OleInitialize failed\n");
    return 2;
  }
  std::vector<CallArgs> calls(static_cast<size_t>(options.calls), options.args);
  std::optional<risview::host::Script> script;
  bool scriptedCalls = false;  // each call waits for the driver to reach its line
  if (auto status = readScript(options, script, calls, scriptedCalls)) return *status;
  Library library;
  if (auto status = library.load(options.dll)) return *status;

  // The driver posts to this thread's queue, which must exist before it starts.
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  HWND hostWindow = createHostWindow();
  risview::host::CallLog log(static_cast<int>(calls.size()));
  std::unique_ptr<risview::host::Transcript> transcript;
  std::unique_ptr<risview::host::Driver> driver;
  if (script) {
    transcript = std::make_unique<risview::host::Transcript>(*options.transcript);
    if (!transcript->isOpen()) return usageError("cannot write " + toUtf8(*options.transcript));
    driver = std::make_unique<risview::host::Driver>(std::move(*script), *transcript, log,
                                                     GetCurrentThreadId(), options.helpers);
    driver->start();
  }
  std::unique_ptr<Probe> probe;
  const uint32_t probeStartUs = microseconds();
  if (options.probe && hostWindow) probe = std::make_unique<Probe>(hostWindow);
  std::vector<double> callMs;
  std::vector<AfterUnload> cycles;
  if (auto status =
          runCalls(options, calls, scriptedCalls, library, log, transcript.get(), callMs, cycles)) {
    return *status;
  }
  bool passed = driver ? driver->finish() : true;
  if (probe) {
    probe.reset();
    writeProbe(*options.probe, probeStartUs, callMs);
  }
  if (hostWindow) DestroyWindow(hostWindow);
  if (library.module) FreeLibrary(library.module);
  const std::string unflat =
      options.reload ? judgeCycles(cycles, options.warmup, options.growthKib) : std::string();
  if (!unflat.empty()) {
    std::fprintf(stderr, "risview-host: loaded and freed %zu times: %s\n", cycles.size(),
                 unflat.c_str());
    passed = false;
  }
  // What the library left on the clipboard is released here, as at a host's exit.
  if (options.ole) OleUninitialize();
  return passed ? 0 : 1;
}

}  // namespace

int main() {
  try {
    return runHost();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "risview-host: %s\n", e.what());
    return 2;
  }
}
