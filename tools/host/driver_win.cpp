#include "host/driver_win.h"

#include <commctrl.h>
#include <oleacc.h>
#include <psapi.h>
#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "host/json.h"
#include "host/png.h"
#include "host/ui_win.h"

namespace risview::host {

// IID_IAccessible, spelled out: the x86_64 MinGW import library resolves its symbol to an
// import stub rather than the GUID.
constexpr GUID kIAccessibleId = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

namespace {

// A command that did not hold; the driver reports it with the command's line.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The settle marker: the driver posts it to the calling thread, and the message hook
// notes when that thread takes it from its queue, which it does only after every message
// posted before it.
UINT settleMessage() {
  static const UINT message = RegisterWindowMessageW(L"RisviewHostSettle");
  return message;
}
std::atomic<long> settledUpTo{0};
// When the calling thread took the last settle marker, in microseconds of the performance
// counter.
std::atomic<long long> settledAtUs{0};

long long nowUs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

LRESULT CALLBACK getMessageHook(int code, WPARAM removed, LPARAM lParam) {
  if (code == HC_ACTION && removed == PM_REMOVE) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg->hwnd == nullptr && msg->message == settleMessage()) {
      settledAtUs = nowUs();
      settledUpTo = static_cast<long>(msg->wParam);
    }
  }
  return CallNextHookEx(nullptr, code, removed, lParam);
}

long parseLong(const std::string& text) {
  return std::stol(text, nullptr, 0);
}

std::string quote(const std::string& text) {
  std::string out = "\"";
  out += text;
  out += '"';
  return out;
}

Json rectJson(const Rect& r) {
  return Json::array({r.x, r.y, r.width, r.height});
}

std::string describeTexts(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& t : texts) {
    if (!out.empty()) out += ' ';
    out += quote(t);
  }
  return out.empty() ? "nothing" : out;
}

// The window as the transcript shows it.
Json windowJson(HWND hwnd) {
  RECT r{}, client{};
  GetWindowRect(hwnd, &r);
  GetClientRect(hwnd, &client);
  JsonObject o;
  o.add("class", className(hwnd)).add("caption", windowText(hwnd));
  o.add("rect", rectJson({r.left, r.top, r.right - r.left, r.bottom - r.top}));
  o.add("client", Json::array({client.right, client.bottom}));
  o.add("visible", IsWindowVisible(hwnd) != FALSE);
  return o.json();
}

// Every top-level window of the process, for a failure message.
std::string describeOpenWindows() {
  std::string out;
  for (HWND hwnd : processWindows()) {
    if (!IsWindowVisible(hwnd)) continue;
    out += "\n    " + className(hwnd) + " " + quote(windowText(hwnd));
    if (isMessageBox(hwnd)) out += " saying " + quote(readMessageBox(hwnd).text);
  }
  return out.empty() ? " none" : out;
}

HWND visibleMessageBox() {
  for (HWND hwnd : processWindows()) {
    if (IsWindowVisible(hwnd) && isMessageBox(hwnd)) return hwnd;
  }
  return nullptr;
}

void writeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw Failure("cannot write " + path);
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw Failure("cannot write " + path);
}

LPARAM pointParam(POINT p) {
  return MAKELPARAM(p.x, p.y);
}

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

}  // namespace

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

// The commands. Each either returns normally, having added what it saw to `record`, or
// throws Failure with a message that says what was expected and what was found.
class Driver::Steps {
 public:
  Steps(Driver& driver, const Command& command, JsonObject& record)
      : d_(driver), c_(command), record_(record) {}

  void run() {
    static const std::map<std::string, void (Steps::*)()> steps = {
        {"fixture", &Steps::nothing},
        {"options", &Steps::nothing},
        {"option", &Steps::nothing},
        {"backend", &Steps::nothing},
        {"silent-server", &Steps::nothing},
        {"lock-table", &Steps::nothing},
        {"display-dpi", &Steps::nothing},
        {"host-ole", &Steps::nothing},
        {"printer", &Steps::nothing},
        {"on-signal", &Steps::nothing},
        {"call", &Steps::call},
        {"timeout", &Steps::timeout},
        {"wait", &Steps::wait},
        {"wait-gone", &Steps::waitGone},
        {"expect-no-window", &Steps::expectNoWindow},
        {"box", &Steps::box},
        {"settle", &Steps::settle},
        {"expect-no-box", &Steps::expectNoBox},
        {"click", &Steps::click},
        {"click-tool", &Steps::clickTool},
        {"type", &Steps::type},
        {"key", &Steps::key},
        {"select-text", &Steps::selectText},
        {"double-click", &Steps::doubleClick},
        {"select", &Steps::select},
        {"select-tab", &Steps::selectTab},
        {"close", &Steps::close},
        {"dump", &Steps::dump},
        {"screenshot", &Steps::screenshot},
        {"expect-caption", &Steps::expectCaption},
        {"expect-text", &Steps::expectText},
        {"expect-visible", &Steps::expectVisible},
        {"expect-enabled", &Steps::expectEnabled},
        {"expect-rect", &Steps::expectRect},
        {"expect-drawn", &Steps::expectDrawn},
        {"expect-blank", &Steps::expectBlank},
        {"expect-clipboard", &Steps::expectClipboard},
        {"expect-pictures-drawn", &Steps::expectPicturesDrawn},
        {"expect-rows", &Steps::expectRows},
        {"expect-row", &Steps::expectRow},
        {"expect-column", &Steps::expectColumn},
        {"expect-selected", &Steps::expectSelected},
        {"expect-tabs", &Steps::expectTabs},
        {"expect-items", &Steps::expectItems},
        {"expect-marks", &Steps::expectMarks},
        {"expect-return", &Steps::expectReturn},
        {"expect-debug", &Steps::expectDebug},
        {"reject-debug", &Steps::rejectDebug},
        {"start", &Steps::start},
        {"expect-process", &Steps::expectProcess},
        {"expect-launch", &Steps::expectLaunch},
        {"expect-no-launch", &Steps::expectNoLaunch},
        {"scroll", &Steps::scroll},
        {"wheel", &Steps::wheel},
        {"scroll-timed", &Steps::scrollTimed},
        {"count-windows", &Steps::countWindows},
        {"expect-same-windows", &Steps::expectSameWindows},
        {"expect-host-enabled", &Steps::expectHostEnabled},
        {"nested-call", &Steps::nestedCall},
        {"signal", &Steps::signal},
        {"resources", &Steps::resources},
        {"host-reload", &Steps::nothing},
        {"plant-riched20", &Steps::nothing},
        {"wait-unloaded", &Steps::waitUnloaded},
        {"keep-accessible", &Steps::keepAccessible},
        {"expect-accessible", &Steps::expectAccessible},
    };
    (this->*steps.at(c_.name))();
  }

 private:
  const std::string& arg(size_t i) const { return c_.args.at(i).text; }
  long number(size_t i) const { return parseLong(arg(i)); }

  DWORD limitMs() const {
    auto t = c_.option("timeout");
    return t ? static_cast<DWORD>(parseLong(*t) * 1000) : d_.timeoutMs_;
  }

  // Polls `done` until it holds. Fails at the time limit, or at once when every call has
  // returned and nothing more can appear.
  void waitFor(const std::function<bool()>& done, const std::string& what) {
    const ULONGLONG end = GetTickCount64() + limitMs();
    std::optional<Failure> missing;
    for (;;) {
      // A thread busy for longer than a query may wait (loading a heavy report) is not an
      // answer yet: the wait's own limit decides. Nor is a window that replaces its pages,
      // seen between the old ones going and the new one in front being made: what is missing
      // then is said only if it is still missing at the end.
      try {
        if (done()) return;
        missing.reset();
      } catch (const UiTimeout&) {
      } catch (const Failure& f) {
        if (!d_.calls_.running()) throw;
        missing = f;
      }
      if (d_.calls_.finished()) {
        if (missing) throw *missing;
        throw Failure("ShowTarnel returned while waiting for " + what +
                      "; windows still open:" + describeOpenWindows());
      }
      if (GetTickCount64() >= end) {
        if (missing) throw *missing;
        throw Failure("no " + what + " within " + std::to_string(limitMs() / 1000) +
                      " s; windows open:" + describeOpenWindows());
      }
      Sleep(10);
    }
  }

  HWND window() {
    if (!d_.window_ || !IsWindow(d_.window_)) {
      throw Failure("no current window: the last `wait` found none, or it has closed");
    }
    return d_.window_;
  }

  HWND control(const std::string& name) {
    HWND w = window();
    if (HWND found = findControl(w, name)) return found;
    std::vector<std::string> names;
    for (HWND child : descendants(w)) {
      std::string n = componentName(child);
      if (!n.empty()) names.push_back(n);
    }
    throw Failure("no control " + quote(name) + " in " + className(w) + "; it has " +
                  describeTexts(names));
  }

  HWND control() { return control(arg(0)); }

  // A component to be looked at: a window, or one a report page draws.
  Component component() {
    HWND w = window();
    if (auto found = findComponent(w, arg(0), false)) return *found;
    control(arg(0));  // fails naming what there is
    throw Failure("no component " + quote(arg(0)));
  }

  HWND listView() {
    HWND list = control();
    if (className(list) != WC_LISTVIEWA) throw Failure(arg(0) + " is a " + className(list));
    return list;
  }

  HWND tabControl() {
    HWND tabs = control();
    if (className(tabs) != WC_TABCONTROLA) throw Failure(arg(0) + " is a " + className(tabs));
    return tabs;
  }

  void post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageW(hwnd, message, wParam, lParam)) {
      throw Failure("cannot post to the window (error " + std::to_string(GetLastError()) + ")");
    }
  }

  void expectEqual(const std::string& what, const std::string& expected,
                   const std::string& actual) {
    if (expected != actual) {
      throw Failure(what + ": expected " + quote(expected) + ", found " + quote(actual));
    }
  }

  // ---- commands

  void nothing() {}

  void call() { d_.calls_.permit(); }

  void timeout() { d_.timeoutMs_ = static_cast<DWORD>(number(0) * 1000); }

  // What the class= and caption= options describe, and the visible top-level window
  // that fits it, or nullptr.
  std::string describedWindow() const {
    auto cls = c_.option("class");
    auto caption = c_.option("caption");
    std::string what = "window";
    if (cls) what += " of class " + quote(*cls);
    if (caption) what += std::string(cls ? " and" : "") + " captioned " + quote(*caption);
    return what;
  }

  HWND findDescribedWindow() {
    auto cls = c_.option("class");
    auto caption = c_.option("caption");
    for (HWND hwnd : processWindows()) {
      if (!IsWindowVisible(hwnd)) continue;
      if (cls && className(hwnd) != *cls) continue;
      if (caption && windowText(hwnd) != *caption) continue;
      return hwnd;
    }
    return nullptr;
  }

  void wait() {
    HWND found = nullptr;
    Json json;
    // Read within the wait too: a window can be there while its thread is still busy.
    waitFor(
        [&] {
          if ((found = findDescribedWindow()) == nullptr) return false;
          json = windowJson(found);
          return true;
        },
        describedWindow());
    d_.window_ = found;
    record_.add("window", json);
  }

  void expectNoWindow() {
    settle();
    if (HWND found = findDescribedWindow()) {
      throw Failure("a " + describedWindow() + " is open: " + jsonText(windowJson(found)));
    }
  }

  void waitGone() {
    HWND w = window();
    std::string what = className(w) + " to close";
    waitFor([&] { return !IsWindow(w) || !IsWindowVisible(w); }, what);
  }

  void box() {
    HWND found = nullptr;
    waitFor([&] { return (found = visibleMessageBox()) != nullptr; }, "message box");
    BoxInfo info = readMessageBox(found);
    record_.add("caption", info.caption).add("text", info.text).add("style", info.style);
    record_.add("icon", info.icon).add("buttons", info.buttons);
    if (auto file = c_.option("screenshot")) saveScreenshot(found, *file);

    std::string press = c_.option("press").value_or(info.buttons == "ok" ? "ok" : "");
    int id = press.empty() ? 0 : buttonId(press);
    HWND button = nullptr;
    for (const auto& [bid, bhwnd] : info.buttonIds) {
      if (bid == id) button = bhwnd;
    }
    if (!button && press.empty() && !info.buttonIds.empty()) {
      id = info.buttonIds.front().first;
      button = info.buttonIds.front().second;
    }
    record_.add("pressed", button ? windowText(button) : std::string());

    // Checked after reading everything, so that the transcript shows the whole box.
    std::string failure;
    auto check = [&](const char* key, const std::string& actual) {
      auto expected = c_.option(key);
      if (expected && *expected != actual && failure.empty()) {
        failure = std::string("box ") + key + ": expected " + quote(*expected) + ", found " +
                  quote(actual);
      }
    };
    check("caption", info.caption);
    check("text", info.text);
    if (auto style = c_.option("style");
        style && parseLong(*style) != static_cast<long>(info.style)) {
      if (failure.empty()) {
        failure = "box style: expected " + *style + ", found " + std::to_string(info.style) +
                  " (icon " + info.icon + ", buttons " + info.buttons + ")";
      }
    }
    if (!button) failure = "the box has no " + press + " button";
    if (button)
      post(found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    if (!failure.empty()) throw Failure(failure + " (box " + quote(info.text) + ")");
    ULONGLONG t0 = GetTickCount64();
    waitFor([&] { return !IsWindow(found) || !IsWindowVisible(found); }, "box to close");
    record_.add("closing", static_cast<long long>(GetTickCount64() - t0));
  }

  void settle() {
    if (!d_.calls_.running()) return;
    if (!d_.hook_) throw Failure("no message hook on the calling thread, so no way to settle");
    long sequence = ++d_.settleSequence_;
    int call = d_.calls_.startedCount();
    PostThreadMessageW(d_.uiThread_, settleMessage(), static_cast<WPARAM>(sequence), 0);
    const ULONGLONG end = GetTickCount64() + limitMs();
    while (settledUpTo < sequence && d_.calls_.running() && d_.calls_.startedCount() == call) {
      if (GetTickCount64() >= end) {
        throw Failure("the calling thread did not come back to its message loop within " +
                      std::to_string(limitMs() / 1000) + " s");
      }
      Sleep(5);
    }
  }

  void expectNoBox() {
    settle();
    if (HWND found = visibleMessageBox()) {
      BoxInfo info = readMessageBox(found);
      throw Failure("a message box is open: " + quote(info.caption) + " " + quote(info.text));
    }
  }

  void click() { post(control(), BM_CLICK, 0, 0); }

  // A tool bar's buttons are no windows of their own: the bar tells its owner of a click by
  // the button's command.
  void clickTool() {
    HWND bar = control();
    if (className(bar) != TOOLBARCLASSNAMEA) throw Failure(arg(0) + " is a " + className(bar));
    const long index = number(1);
    TBBUTTON button{};
    if (!SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&button))) {
      throw Failure(arg(0) + " has no button " + std::to_string(index));
    }
    if (button.fsState & TBSTATE_HIDDEN) {
      throw Failure("button " + std::to_string(index) + " of " + arg(0) + " is hidden");
    }
    post(GetParent(bar), WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED),
         reinterpret_cast<LPARAM>(bar));
  }

  void type() {
    HWND target = control();
    for (wchar_t unit : toWide(arg(1))) post(target, WM_CHAR, unit, 1);
  }

  // A key, with Ctrl and/or Shift held. The calling thread reads the held keys with
  // GetKeyState, which posted messages do not change: for the key the driver shares the
  // thread's input state and marks them down in it, until the thread has taken the key.
  void key() {
    HWND target = control();
    UINT vk = *virtualKeyCode(arg(1));
    const std::string held = c_.args.size() > 2 ? arg(2) : "";
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    if (held.empty()) {
      post(target, WM_KEYDOWN, vk, scan | 1);
      post(target, WM_KEYUP, vk, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
      return;
    }
    if (!AttachThreadInput(GetCurrentThreadId(), d_.uiThread_, TRUE)) {
      throw Failure("cannot share the calling thread's input state");
    }
    BYTE saved[256]{}, keys[256]{};
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), std::begin(keys));
    if (held.find("ctrl") != std::string::npos) keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    if (held.find("shift") != std::string::npos) keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
    SetKeyboardState(keys);
    try {
      post(target, WM_KEYDOWN, vk, scan | 1);
      post(target, WM_KEYUP, vk, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
      settle();
    } catch (...) {
      SetKeyboardState(saved);
      AttachThreadInput(GetCurrentThreadId(), d_.uiThread_, FALSE);
      throw;
    }
    SetKeyboardState(saved);
    AttachThreadInput(GetCurrentThreadId(), d_.uiThread_, FALSE);
  }

  // Selects characters START to END of an edit or rich-text box, as a drag over them does:
  // the box takes the focus too (through the calling thread's input state, shared for it).
  void selectText() {
    HWND box = control();
    if (AttachThreadInput(GetCurrentThreadId(), d_.uiThread_, TRUE)) {
      SetFocus(box);
      AttachThreadInput(GetCurrentThreadId(), d_.uiThread_, FALSE);
    }
    ask(box, EM_SETSEL, static_cast<WPARAM>(number(1)), static_cast<LPARAM>(number(2)));
  }

  // The clipboard's text, as another program pasting it reads it.
  void expectClipboard() {
    settle();
    std::string text;
    bool found = false;
    for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(20);
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
        text = toUtf8(chars);
        found = true;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    if (!found) throw Failure("the clipboard holds no text");
    if (c_.args.size() == 1) return expectEqual("text on the clipboard", arg(0), text);
    // Several texts: each after the one before, the last one ending the text.
    size_t from = 0;
    for (size_t i = 0; i < c_.args.size(); ++i) {
      const size_t at = text.find(arg(i), from);
      if (at == std::string::npos) {
        throw Failure("the clipboard's text has no " + quote(arg(i)) +
                      (i ? " after " + quote(arg(i - 1)) : std::string()) + ": " + quote(text));
      }
      from = at + arg(i).size();
    }
    while (from < text.size() && (text[from] == '\r' || text[from] == '\n')) ++from;
    if (from != text.size()) {
      throw Failure("the clipboard's text goes on after " + quote(c_.args.back().text) + ": " +
                    quote(text.substr(from)));
    }
  }

  void doubleClick() {
    HWND list = listView();
    RECT client{};
    GetClientRect(list, &client);
    POINT p{};
    if (auto at = c_.option("at")) {
      size_t comma = at->find(',');
      p = {parseLong(at->substr(0, comma)), parseLong(at->substr(comma + 1))};
    } else if (auto row = c_.option("row")) {
      int r = static_cast<int>(parseLong(*row));
      if (r >= listRowCount(list)) throw Failure("the list has no row " + *row);
      RECT item = listItemRect(list, r);
      p = {item.left + std::min<LONG>(20, (item.right - item.left) / 2),
           (item.top + item.bottom) / 2};
    } else {
      // Below the last row, or below the header of an empty list.
      int rows = listRowCount(list);
      p = {10, rows ? listItemRect(list, rows - 1).bottom + 4 : listHeaderHeight(list) + 4};
      if (p.y >= client.bottom) throw Failure("the list has no empty area left to click");
    }
    record_.add("at", Json::array({p.x, p.y}));
    post(list, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(p));
    post(list, WM_LBUTTONUP, 0, pointParam(p));
    post(list, WM_LBUTTONDBLCLK, MK_LBUTTON, pointParam(p));
    post(list, WM_LBUTTONUP, 0, pointParam(p));
  }

  // The item texts of a drop-down list.
  std::vector<std::string> comboItems(HWND box) {
    std::vector<std::string> items;
    const LRESULT count = ask(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring text(static_cast<size_t>(ask(box, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
      ask(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      items.push_back(toUtf8(text.c_str()));
    }
    return items;
  }

  // A drop-down's item chosen as a user chooses it: selected, then its owner told.
  void selectComboItem(HWND box) {
    const int index = static_cast<int>(number(1));
    if (index >= static_cast<int>(comboItems(box).size())) throw Failure("no item " + arg(1));
    ask(box, CB_SETCURSEL, index, 0);
    post(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(box));
  }

  void select() {
    if (HWND box = control(); className(box) == "ComboBox") return selectComboItem(box);
    HWND list = listView();
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    ask(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (arg(1) == "none") return;
    int row = static_cast<int>(number(1));
    if (row >= listRowCount(list)) throw Failure("the list has no row " + arg(1));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ask(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }

  void selectTab() {
    HWND tabs = tabControl();
    int index = static_cast<int>(number(1));
    if (index >= static_cast<int>(tabTexts(tabs).size())) throw Failure("no tab " + arg(1));
    HWND parent = GetParent(tabs);
    NMHDR header{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)),
                 static_cast<UINT>(TCN_SELCHANGING)};
    if (ask(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header))) {
      throw Failure("the window refused to leave the current tab");
    }
    ask(tabs, TCM_SETCURSEL, index, 0);
    header.code = static_cast<UINT>(TCN_SELCHANGE);
    ask(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  }

  void close() {
    if (c_.option("via").value_or("close-box") == "message") {
      post(window(), WM_CLOSE, 0, 0);
    } else {
      post(window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  }

  void dump() {
    settle();
    HWND w = window();
    record_.add("window", windowJson(w));
    Json controls = Json::array();
    for (HWND child : descendants(w)) {
      JsonObject o;
      std::string cls = className(child);
      o.add("name", componentName(child)).add("class", cls).add("text", windowText(child));
      o.add("id", GetDlgCtrlID(child)).add("rect", rectJson(rectInClient(child, w)));
      o.add("visible", IsWindowVisible(child) != FALSE)
          .add("enabled", IsWindowEnabled(child) != FALSE);
      if (cls == WC_LISTVIEWA) {
        Json columns = Json::array(), rows = Json::array();
        auto cols = listColumns(child);
        for (const auto& col : cols) {
          columns.push_back(JsonObject().add("text", col.text).add("width", col.width).json());
        }
        for (int r = 0, n = listRowCount(child); r < n; ++r) {
          rows.push_back(listRow(child, r, static_cast<int>(cols.size())));
        }
        o.add("columns", columns).add("rows", rows);
        o.add("selected", listSelection(child));
      } else if (cls == WC_TABCONTROLA) {
        o.add("tabs", tabTexts(child)).add("selected", tabSelection(child));
      }
      controls.push_back(o.json());
    }
    for (const Component& c : drawnComponents(w)) {
      RECT r = c.screen;
      MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
      JsonObject o;
      o.add("name", c.name).add("class", c.className).add("text", c.text);
      o.add("rect", rectJson({r.left, r.top, r.right - r.left, r.bottom - r.top}));
      o.add("visible", c.visible).add("enabled", c.enabled);
      controls.push_back(o.json());
    }
    record_.add("controls", controls);
  }

  void saveScreenshot(HWND hwnd, const std::string& file) {
    Picture picture = captureWindow(hwnd);
    if (picture.rgb.empty()) throw Failure("the window has no pixels to save");
    writeFile(file, encodePng(static_cast<uint32_t>(picture.width),
                              static_cast<uint32_t>(picture.height), picture.rgb));
    record_.add("file", file).add("width", picture.width).add("height", picture.height);
  }

  // The part of the report sheets shown in the window, in the window's picture (frame
  // included); empty when it shows none.
  static RECT shownSheets(HWND w) {
    RECT frame{}, area{};
    GetWindowRect(w, &frame);
    for (HWND child : descendants(w)) {
      if (className(child) != "TPrntSheet" || !IsWindowVisible(child)) continue;
      RECT sheet{}, box{}, shown{};
      GetWindowRect(child, &sheet);
      GetWindowRect(GetParent(child), &box);
      if (!IntersectRect(&shown, &sheet, &box)) continue;
      UnionRect(&area, &area, &shown);
    }
    if (IsRectEmpty(&area)) return area;
    OffsetRect(&area, -frame.left, -frame.top);
    return area;
  }

  // Pictures still being decoded are waited for, so that what is saved is what the user
  // sees once the sheet is complete. A window showing report sheets is judged on them alone
  // (`sheets`): its frame and tool bar would pass for a painted window by themselves.
  void screenshot() {
    settle();
    const HWND w = window();
    waitFor([&] { return picturesWaiting(w) == 0; }, "pictures decoded");
    saveScreenshot(w, arg(0));
    const RECT sheets = shownSheets(w);
    if (!IsRectEmpty(&sheets)) {
      record_.add("sheets", rectJson({sheets.left, sheets.top, sheets.right - sheets.left,
                                      sheets.bottom - sheets.top}));
    }
  }

  // Each named picture could not be shown (its file went, or would not decode): once the
  // decoding is over, its box shows the sheet and nothing else, neither pixels nor the
  // light placeholder of a picture still to come.
  void expectBlank() {
    settle();
    const HWND w = window();
    waitFor([&] { return picturesWaiting(w) == 0; }, "pictures decoded");
    RECT frame{};
    GetWindowRect(w, &frame);
    const Picture shot = captureWindow(w);
    for (size_t i = 0; i < c_.args.size(); ++i) {
      auto found = findComponent(w, arg(i), false);
      if (!found) throw Failure("no component " + arg(i));
      if (!found->hasPicture) throw Failure(arg(i) + " shows no picture file");
      if (found->pictureDrawn) throw Failure(arg(i) + " is drawn");
      RECT box = found->screen, view{}, shown{};
      // Only what its page's scroll box shows of it.
      HWND scrollBox = findControl(w, arg(i).substr(0, arg(i).find('/')) + "/ScrollBox1");
      GetWindowRect(scrollBox ? scrollBox : w, &view);
      if (!IntersectRect(&shown, &box, &view)) throw Failure(arg(i) + " is not in view");
      OffsetRect(&shown, -frame.left, -frame.top);
      std::set<unsigned> colours;
      for (int y = shown.top; y < shown.bottom && y < shot.height; ++y) {
        for (int x = shown.left; x < shown.right && x < shot.width; ++x) {
          const unsigned char* p = &shot.rgb[(static_cast<size_t>(y) * shot.width + x) * 3];
          colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
        }
      }
      if (colours.size() != 1 || *colours.begin() == 0xECECEC) {
        throw Failure(arg(i) + " is not blank: " + std::to_string(colours.size()) +
                      " colours in its box" +
                      (colours.count(0xECECEC) ? ", the placeholder's among them" : ""));
      }
    }
  }

  // Each named picture is drawn from its decoded pixels, now or within the time limit.
  void expectDrawn() {
    settle();
    const ULONGLONG t0 = GetTickCount64();
    for (size_t i = 0; i < c_.args.size(); ++i) {
      waitFor(
          [&] {
            auto found = findComponent(window(), arg(i), false);
            if (!found) throw Failure("no component " + arg(i));
            return found->pictureDrawn;
          },
          arg(i) + " drawn");
    }
    record_.add("drawing", static_cast<long long>(GetTickCount64() - t0));
  }

  void expectCaption() {
    settle();
    expectEqual("caption of " + className(window()), arg(0), windowText(window()));
  }

  void expectText() {
    settle();
    expectEqual("text of " + arg(0), arg(1), component().text);
  }

  void expectFlag(bool actual, const char* what) {
    bool expected = c_.args.size() < 2 || arg(1) == "yes";
    if (expected != actual) {
      throw Failure(arg(0) + " is " + (actual ? "" : "not ") + what + ", expected " +
                    (expected ? "" : "not ") + what);
    }
  }

  void expectVisible() {
    settle();
    expectFlag(component().visible, "visible");
  }

  void expectEnabled() {
    settle();
    expectFlag(component().enabled, "enabled");
  }

  void expectRect() {
    settle();
    RECT screen = component().screen;
    MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&screen), 2);
    const Rect r{screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top};
    std::string actual = std::to_string(r.x) + " " + std::to_string(r.y) + " " +
                         std::to_string(r.width) + " " + std::to_string(r.height);
    std::string expected = arg(1) + " " + arg(2) + " " + arg(3) + " " + arg(4);
    expectEqual("rectangle (x y width height) of " + arg(0), expected, actual);
  }

  void expectRows() {
    settle();
    HWND list = listView();
    int rows = listRowCount(list);
    if (rows != number(1)) {
      std::string shown;
      auto columns = static_cast<int>(listColumns(list).size());
      for (int r = 0; r < rows; ++r) shown += "\n    " + describeTexts(listRow(list, r, columns));
      throw Failure(arg(0) + ": expected " + arg(1) + " rows, found " + std::to_string(rows) +
                    shown);
    }
  }

  void expectRow() {
    settle();
    HWND list = listView();
    int row = static_cast<int>(number(1));
    if (row >= listRowCount(list)) {
      throw Failure(arg(0) + " has " + std::to_string(listRowCount(list)) + " rows, no row " +
                    arg(1));
    }
    std::vector<std::string> expected;
    for (size_t i = 2; i < c_.args.size(); ++i) expected.push_back(arg(i));
    auto actual = listRow(list, row, static_cast<int>(listColumns(list).size()));
    record_.add("row", actual);
    actual.resize(std::max(actual.size(), expected.size()));
    if (!std::equal(expected.begin(), expected.end(), actual.begin())) {
      throw Failure(arg(0) + " row " + arg(1) + ": expected " + describeTexts(expected) +
                    ", found " + describeTexts(actual));
    }
  }

  void expectColumn() {
    settle();
    auto columns = listColumns(listView());
    size_t index = static_cast<size_t>(number(1));
    if (index >= columns.size()) {
      throw Failure(arg(0) + " has " + std::to_string(columns.size()) + " columns");
    }
    expectEqual(arg(0) + " column " + arg(1) + " caption", arg(2), columns[index].text);
    if (c_.args.size() > 3) {
      expectEqual(arg(0) + " column " + arg(1) + " width", arg(3),
                  std::to_string(columns[index].width));
    }
  }

  void expectSelected() {
    settle();
    HWND target = control();
    std::string actual;
    if (className(target) == WC_TABCONTROLA) {
      int current = tabSelection(target);
      actual = current < 0 ? "none" : std::to_string(current);
    } else {
      auto rows = listSelection(listView());
      for (int r : rows) {
        if (!actual.empty()) actual += ' ';
        actual += std::to_string(r);
      }
      if (actual.empty()) actual = "none";
    }
    expectEqual("selection of " + arg(0), arg(1), actual);
  }

  void expectItems() {
    settle();
    HWND box = control();
    std::vector<std::string> expected;
    for (size_t i = 1; i < c_.args.size(); ++i) expected.push_back(arg(i));
    const auto actual = comboItems(box);
    if (expected != actual) {
      throw Failure("items of " + arg(0) + ": expected " + describeTexts(expected) + ", found " +
                    describeTexts(actual));
    }
    record_.add("selected", static_cast<long long>(ask(box, CB_GETCURSEL, 0, 0)));
  }

  // The rich-text box's text with its marks: underlined characters as "[+...]", struck
  // through ones as "[-...]", read character by character from the box's own formats.
  void expectMarks() {
    settle();
    std::string marked;
    try {
      waitFor(
          [&] {
            marked = marksOf(control());
            return marked == arg(1);
          },
          "those marks");
    } catch (const Failure&) {
      expectEqual("marks of " + arg(0), arg(1), marked);
    }
  }

  std::string marksOf(HWND box) {
    const LRESULT length = ask(box, WM_GETTEXTLENGTH, 0, 0);
    std::string marked;
    char open = 0;
    for (LONG i = 0; i < length; ++i) {
      CHARRANGE range{i, i + 1};
      ask(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
      wchar_t ch[4] = L"";
      if (ask(box, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(ch)) == 0) break;  // past the end
      CHARFORMAT2W format{};
      format.cbSize = sizeof format;
      ask(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
      const char mark = (format.dwEffects & CFE_UNDERLINE)   ? '+'
                        : (format.dwEffects & CFE_STRIKEOUT) ? '-'
                                                             : 0;
      if (mark != open) {
        if (open) marked += ']';
        if (mark) marked += std::string("[") + mark;
        open = mark;
      }
      marked += toUtf8(std::wstring_view(ch, 1));
    }
    if (open) marked += ']';
    CHARRANGE start{0, 0};
    ask(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    return marked;
  }

  // The tabs, now or within the time limit: pages loaded while the window waits on the
  // database come when the statement has returned.
  void expectTabs() {
    settle();
    std::vector<std::string> expected, actual;
    for (size_t i = 1; i < c_.args.size(); ++i) expected.push_back(arg(i));
    try {
      waitFor(
          [&] {
            actual = tabTexts(tabControl());
            return expected == actual;
          },
          "those tabs");
    } catch (const Failure&) {
      throw Failure("tabs of " + arg(0) + ": expected " + describeTexts(expected) + ", found " +
                    describeTexts(actual));
    }
  }

  void expectReturn() {
    long expected = c_.args.empty() ? 1 : number(0);
    auto value = d_.calls_.result(d_.nextResult_, limitMs());
    if (!value) {
      throw Failure("ShowTarnel call " + std::to_string(d_.nextResult_ + 1) +
                    " did not return within " + std::to_string(limitMs() / 1000) +
                    " s; windows open:" + describeOpenWindows());
    }
    const std::string changed = d_.calls_.changed(d_.nextResult_);
    record_.add("call", static_cast<int>(++d_.nextResult_)).add("value", *value);
    if (*value != expected) {
      throw Failure("ShowTarnel returned " + std::to_string(*value) + ", expected " +
                    std::to_string(expected));
    }
    if (!changed.empty()) throw Failure("ShowTarnel left the calling thread's " + changed);
  }

  // Debugger output is not readable from inside the process: these only go into the
  // transcript, and the scenario runner checks them against what the debugger channel saw.
  void expectDebug() {
    if (auto part = c_.option("contains")) {
      record_.add("contains", *part);
    } else {
      record_.add("text", arg(0));
    }
  }

  void rejectDebug() { record_.add("contains", arg(0)); }

  // ---- programs beside the library: a viewer window, browser stand-ins

  void start() {
    std::wstring path = d_.helpers_ + L"\\" + toWide(arg(0));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    // Each program learns the host's process id first, and ends when the host does.
    std::wstring commandLine = L"\"" + path + L"\" " + std::to_wstring(GetCurrentProcessId());
    for (size_t i = 1; i < c_.args.size(); ++i) commandLine += L" \"" + toWide(arg(i)) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
      throw Failure("cannot start " + toUtf8(path) + " (error " + std::to_string(GetLastError()) +
                    ")");
    }
    CloseHandle(info.hThread);
    if (auto old = d_.processes_.find(arg(0)); old != d_.processes_.end()) {
      CloseHandle(old->second);
    }
    d_.processes_[arg(0)] = info.hProcess;
    record_.add("pid", static_cast<long long>(info.dwProcessId));
    // Ready once it waits for input: a window it makes exists by then.
    DWORD ready = WaitForInputIdle(info.hProcess, limitMs());
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) {
      throw Failure(arg(0) + " ended at once with status " + exitStatus(info.hProcess));
    }
    if (ready != 0) {
      throw Failure(arg(0) + " was not ready within " + std::to_string(limitMs() / 1000) + " s");
    }
  }

  HANDLE startedProcess() {
    auto it = d_.processes_.find(arg(0));
    if (it == d_.processes_.end()) throw Failure("no `start " + arg(0) + "` before this line");
    return it->second;
  }

  void expectProcess() {
    HANDLE process = startedProcess();
    if (arg(1) == "running") {
      settle();
      if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) {
        throw Failure(arg(0) + " has ended, with status " + exitStatus(process));
      }
      return;
    }
    // Ended by another process, it may take a moment to be gone.
    if (WaitForSingleObject(process, limitMs()) != WAIT_OBJECT_0) {
      throw Failure(arg(0) + " is still running after " + std::to_string(limitMs() / 1000) + " s");
    }
    std::string status = exitStatus(process);
    record_.add("status", status);
    if (auto code = c_.option("code")) {
      expectEqual("exit status of " + arg(0), std::to_string(parseLong(*code)), status);
    }
  }

  // Notches of the wheel (positive away from the user) over the middle of a control, with
  // the keys held that the third argument names ("ctrl", "shift" or none).
  void wheel() {
    HWND target = control();
    const long notches = number(1);
    const std::string keys = c_.args.size() > 2 ? arg(2) : "";
    const WORD state = keys == "ctrl" ? MK_CONTROL : keys == "shift" ? MK_SHIFT : 0;
    RECT r{};
    GetWindowRect(target, &r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    for (long i = 0; i < std::abs(notches); ++i) {
      post(target, WM_MOUSEWHEEL, MAKEWPARAM(state, notches > 0 ? WHEEL_DELTA : -WHEEL_DELTA), at);
    }
  }

  // Lines down (or up, for a negative count) in a scroll box, as its scroll bar's arrows do.
  void scroll() {
    HWND box = control();
    const long lines = number(1);
    for (long i = 0; i < std::abs(lines); ++i) {
      post(box, WM_VSCROLL, lines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    }
  }

  // Lines down a scroll box one at a time, as a user holding the arrow does, each step
  // timed from posting it to the calling thread taking the next message (it has scrolled
  // and painted what the step before uncovered): the longest such round trip is the
  // longest the user waits for an answer.
  void scrollTimed() {
    HWND box = control();
    const long lines = number(1);
    long long longest = 0, total = 0;
    long longestAt = 0;
    Json slow = Json::array();  // the steps over 50 ms: their number and time
    for (long i = 0; i < lines; ++i) {
      const long long t0 = nowUs();
      post(box, WM_VSCROLL, SB_LINEDOWN, 0);
      settle();
      const long long took = settledAtUs - t0;
      if (took > longest) longest = took, longestAt = i;
      total += took;
      if (took > 50000) slow.push_back(Json::array({i, took / 1000.0}));
    }
    record_.add("longest", longest / 1000.0)
        .add("longestAt", longestAt)
        .add("total", total / 1000.0)
        .add("slow", slow);
  }

  // From the top, pages down a report page's scroll box to its end, as a reader does, each time
  // waiting until every picture in view is drawn; at the end every picture of the page must have
  // been drawn. The transcript has how many, the steps, the wait for the first view, all the
  // waits and the longest at one step.
  void expectPicturesDrawn() {
    HWND box = control();
    HWND page = GetParent(box);
    post(box, WM_VSCROLL, SB_TOP, 0);
    settle();
    const ULONGLONG t0 = GetTickCount64();
    std::vector<std::string> pictures;
    for (const Component& c : pageComponents(page)) {
      // A picture fitted to less than a pixel has nothing to draw.
      if (c.visible && c.hasPicture && !IsRectEmpty(&c.screen)) pictures.push_back(c.name);
    }
    // A page whose pictures all went missing must not pass for one whose pictures were drawn.
    const long expected = number(1);
    if (static_cast<long>(pictures.size()) != expected) {
      throw Failure("the page shows " + std::to_string(pictures.size()) + " pictures (" +
                    describeTexts(pictures) + "), expected " + std::to_string(expected));
    }
    long long longest = 0, firstView = -1, waited = 0;
    int steps = 0;
    for (;;) {
      RECT view{};
      GetWindowRect(box, &view);
      const long long s0 = nowUs();
      waitFor(
          [&] {
            for (const std::string& name : pictures) {
              auto c = pageComponent(page, name);
              RECT shown;
              if (c && IntersectRect(&shown, &c->screen, &view) && !c->pictureDrawn) return false;
            }
            return true;
          },
          "pictures in view drawn");
      const long long wait = nowUs() - s0;
      longest = std::max(longest, wait), waited += wait;
      if (firstView < 0) firstView = wait;
      const int before = GetScrollPos(box, SB_VERT);
      post(box, WM_VSCROLL, SB_PAGEDOWN, 0);
      settle();
      if (GetScrollPos(box, SB_VERT) == before) break;
      ++steps;
    }
    for (const std::string& name : pictures) {
      auto c = pageComponent(page, name);
      if (!c || !c->pictureDrawn) throw Failure(name + " was never drawn");
    }
    record_.add("pictures", pictures.size())
        .add("steps", steps)
        .add("drawing", static_cast<long long>(GetTickCount64() - t0))
        .add("firstView", firstView / 1000.0)
        .add("waited", waited / 1000.0)
        .add("longestWait", longest / 1000.0);
  }

  // Every window of the host's process, top-level and child, counted by enumeration.
  static int windowCount() {
    int count = 0;
    for (HWND top : processWindows()) count += 1 + static_cast<int>(descendants(top).size());
    return count;
  }

  void countWindows() {
    settle();
    d_.windowsCounted_ = windowCount();
    record_.add("windows", d_.windowsCounted_);
  }

  void expectSameWindows() {
    settle();
    if (d_.windowsCounted_ < 0) throw Failure("no count-windows before it");
    const int now = windowCount();
    record_.add("windows", now);
    expectEqual("windows of the process", std::to_string(d_.windowsCounted_), std::to_string(now));
  }

  static HWND hostWindow() {
    for (HWND top : processWindows()) {
      if (className(top) == "TRisviewHost") return top;
    }
    throw Failure("the host has no main window");
  }

  void expectHostEnabled() {
    settle();
    const bool expected = arg(0) == "yes";
    const bool actual = IsWindowEnabled(hostWindow()) != FALSE;
    record_.add("enabled", actual);
    if (expected != actual) {
      throw Failure(std::string("the host's window is ") + (actual ? "enabled" : "disabled") +
                    ", expected " + (expected ? "enabled" : "disabled"));
    }
  }

  // The host calls the library again from inside the running call, and that call must
  // return at once.
  void nestedCall() {
    HWND host = hostWindow();
    SetWindowLongPtrW(host, GWLP_USERDATA, 0);
    PostMessageW(host, kNestedCallMessage, 0, 0);
    // within=MS: the host's thread must take the message that soon, wherever the call is.
    const auto within = c_.option("within");
    const ULONGLONG limit = within ? std::stoul(*within) : limitMs();
    const ULONGLONG end = GetTickCount64() + limit;
    LONG_PTR got = 0;
    while ((got = GetWindowLongPtrW(host, GWLP_USERDATA)) == 0) {
      if (GetTickCount64() >= end) {
        throw Failure("the nested call did not return within " + std::to_string(limit) +
                      " ms; windows open:" + describeOpenWindows());
      }
      Sleep(10);
    }
    record_.add("value", static_cast<int>(got - 1));
    expectEqual("nested call's result", "1", std::to_string(got - 1));
  }

  // The runner acts on the signal (its `on-signal` line) while the library goes on: it sees
  // signals\NAME.wait in the current folder and answers with signals\NAME.done.
  void signal() {
    const std::wstring base = L"signals\\" + toWide(arg(0));
    HANDLE f = CreateFileW((base + L".wait").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) throw Failure("cannot signal " + arg(0) + ": no signals folder");
    CloseHandle(f);
    const ULONGLONG end = GetTickCount64() + limitMs();
    while (GetFileAttributesW((base + L".done").c_str()) == INVALID_FILE_ATTRIBUTES) {
      if (GetTickCount64() >= end) throw Failure("the runner did not act on signal " + arg(0));
      Sleep(20);
    }
  }

  // What the process holds now, for soak runs: its windows and its private bytes.
  void resources() {
    settle();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    record_
        .add("windows", windowCount())
        // The commit charge: what Windows reports as private bytes (Wine leaves PrivateUsage 0).
        .add("privateBytes",
             static_cast<long long>(std::max(memory.PrivateUsage, memory.PagefileUsage)))
        .add("peakWorkingSet", static_cast<long long>(memory.PeakWorkingSetSize))
        .add("calls", d_.calls_.startedCount());
    if (!c_.args.empty()) record_.add("label", arg(0));
  }

  // The host (host-reload) has freed the library after the call that returned last.
  void waitUnloaded() {
    if (!d_.calls_.awaitUnloaded(static_cast<int>(d_.nextResult_), limitMs())) {
      throw Failure("the host did not free the library after call " +
                    std::to_string(d_.nextResult_));
    }
  }

  // This thread takes a sheet's accessible object and keeps it, as a screen reader does,
  // from an apartment of its own: each call on it goes through the system's stub.
  void keepAccessible() {
    HWND sheet = control();
    if (!d_.accessibleApartment_) {
      if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) throw Failure("no COM here");
      d_.accessibleApartment_ = true;
    }
    if (d_.accessible_) d_.accessible_->Release();
    d_.accessible_ = nullptr;
    void* object = nullptr;
    const HRESULT hr = AccessibleObjectFromWindow(sheet, static_cast<DWORD>(OBJID_CLIENT),
                                                  kIAccessibleId, &object);
    record_.add("hresult", hresultText(hr));
    if (FAILED(hr) || !object) throw Failure("no accessible object for " + arg(0));
    d_.accessible_ = static_cast<IUnknown*>(object);
  }

  // connected: the kept object answers; disconnected: the system answers for it that it is
  // gone (never an exception code from code that is no longer there).
  void expectAccessible() {
    if (!d_.accessible_) throw Failure("no keep-accessible before it");
    long count = -1;
    const HRESULT hr = static_cast<IAccessible*>(d_.accessible_)->get_accChildCount(&count);
    record_.add("hresult", hresultText(hr));
    // Wine answers a call on an object whose stub is gone with its RPC runtime's "unknown
    // interface" once no stub of that interface is left in the apartment.
    const bool disconnected = hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED ||
                              hr == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF);
    if (arg(0) == "connected" ? hr != S_OK : !disconnected) {
      throw Failure("the kept accessible object answered " + hresultText(hr) + ", expected " +
                    (arg(0) == "connected" ? "S_OK" : "a COM disconnection error"));
    }
  }

  static std::string hresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
  }

  void expectLaunch() {
    std::vector<std::string> launches;
    const ULONGLONG end = GetTickCount64() + limitMs();
    // The browser starts in processes of its own, after the shell call has returned.
    while ((launches = browserLaunches()).size() <= d_.launchesSeen_) {
      if (GetTickCount64() >= end) {
        throw Failure("the browser was not started within " + std::to_string(limitMs() / 1000) +
                      " s");
      }
      Sleep(20);
    }
    const std::string& address = launches[d_.launchesSeen_++];
    record_.add("address", address);
    expectEqual("address the browser opened", arg(0), address);
  }

  void expectNoLaunch() {
    settle();
    auto launches = browserLaunches();
    if (launches.size() > d_.launchesSeen_) {
      throw Failure("the browser was started on " + quote(launches[d_.launchesSeen_]));
    }
  }

  Driver& d_;
  const Command& c_;
  JsonObject& record_;
};

// ---------------------------------------------------------------------------------------

Driver::Driver(Script script, Transcript& transcript, CallLog& calls, DWORD uiThread,
               std::wstring helpers)
    : script_(std::move(script)),
      transcript_(transcript),
      calls_(calls),
      uiThread_(uiThread),
      helpers_(std::move(helpers)) {}

Driver::~Driver() {
  if (thread_.joinable()) thread_.join();
  for (const auto& [name, process] : processes_) CloseHandle(process);
}

void Driver::start() {
  started_ = GetTickCount64();
  settleMessage();
  hook_ = SetWindowsHookExW(WH_GETMESSAGE, getMessageHook, nullptr, uiThread_);
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
  if (hook_) UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
  // Nothing the script started may meet the next run.
  for (const auto& [name, process] : processes_) {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
    }
  }
  return passed_;
}

void Driver::execute(const Command& command) {
  JsonObject record;
  record.add("line", command.line).add("cmd", command.name);
  const ULONGLONG begin = GetTickCount64();
  record.add("ms", static_cast<long long>(begin - started_));
  try {
    Steps(*this, command, record).run();
  } catch (const std::exception& e) {
    transcript_.write(record.add("ok", false).add("error", e.what()).str());
    failAndExit(&command, e.what());
  }
  record.add("took", static_cast<long long>(GetTickCount64() - begin));
  transcript_.write(record.add("ok", true).str());
}

void Driver::run() {
  for (const Command& command : script_.commands) execute(command);
  // A reader lets go of what it kept only now, whatever the library did meanwhile.
  if (accessible_) accessible_->Release();
  accessible_ = nullptr;
  if (accessibleApartment_) CoUninitialize();
  // The script is over: whatever call is still running must come to its end by itself.
  const ULONGLONG end = GetTickCount64() + timeoutMs_;
  while (!calls_.finished()) {
    if (GetTickCount64() >= end) {
      failAndExit(nullptr, "the script has ended but ShowTarnel has not returned; windows open:" +
                               describeOpenWindows());
    }
    Sleep(10);
  }
  transcript_.write(JsonObject().add("event", "end").add("passed", true).str());
  passed_ = true;
  over_ = true;
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
