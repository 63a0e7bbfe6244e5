#include "host/step_win.h"

#include <commctrl.h>

#include <atomic>
#include <optional>

#include "host/png.h"

namespace risview::host {

namespace {

std::atomic<long> settledUpTo{0};
std::atomic<long long> settledAt{0};

void writeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw Failure("cannot write " + path);
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw Failure("cannot write " + path);
}

}  // namespace

// ---- shared helpers

UINT settleMessage() {
  static const UINT message = RegisterWindowMessageW(L"RisviewHostSettle");
  return message;
}

LRESULT CALLBACK settleHook(int code, WPARAM removed, LPARAM lParam) {
  if (code == HC_ACTION && removed == PM_REMOVE) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg->hwnd == nullptr && msg->message == settleMessage()) {
      settledAt = nowUs();
      settledUpTo = static_cast<long>(msg->wParam);
    }
  }
  return CallNextHookEx(nullptr, code, removed, lParam);
}

long long settledAtUs() {
  return settledAt;
}

long long nowUs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
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

int windowCount() {
  int count = 0;
  for (HWND top : processWindows()) count += 1 + static_cast<int>(descendants(top).size());
  return count;
}

// ---- the step

long Step::number(size_t i) const {
  return parseLong(arg(i));
}

DWORD Step::limitMs() const {
  auto t = command.option("timeout");
  return t ? static_cast<DWORD>(parseLong(*t) * 1000) : state.timeoutMs;
}

void Step::waitFor(const std::function<bool()>& done, const std::string& what) const {
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
      if (!state.calls.running()) throw;
      missing = f;
    }
    if (state.calls.finished()) {
      if (missing) throw Failure(*missing);
      throw Failure("ShowTarnel returned while waiting for " + what +
                    "; windows still open:" + describeOpenWindows());
    }
    if (GetTickCount64() >= end) {
      if (missing) throw Failure(*missing);
      throw Failure("no " + what + " within " + std::to_string(limitMs() / 1000) +
                    " s; windows open:" + describeOpenWindows());
    }
    Sleep(10);
  }
}

void Step::settle() {
  if (!state.calls.running()) return;
  if (!state.hook) throw Failure("no message hook on the calling thread, so no way to settle");
  const long sequence = ++state.settleSequence;
  const int call = state.calls.startedCount();
  PostThreadMessageW(state.uiThread, settleMessage(), static_cast<WPARAM>(sequence), 0);
  const ULONGLONG end = GetTickCount64() + limitMs();
  while (settledUpTo < sequence && state.calls.running() && state.calls.startedCount() == call) {
    if (GetTickCount64() >= end) {
      throw Failure("the calling thread did not come back to its message loop within " +
                    std::to_string(limitMs() / 1000) + " s");
    }
    Sleep(5);
  }
}

HWND Step::window() const {
  if (!state.window || !IsWindow(state.window)) {
    throw Failure("no current window: the last `wait` found none, or it has closed");
  }
  return state.window;
}

HWND Step::control(const std::string& name) const {
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

Component Step::component() const {
  HWND w = window();
  if (auto found = findComponent(w, arg(0), false)) return *found;
  control(arg(0));  // fails naming what there is
  throw Failure("no component " + quote(arg(0)));
}

HWND Step::listView() const {
  HWND list = control();
  if (className(list) != WC_LISTVIEWA) throw Failure(arg(0) + " is a " + className(list));
  return list;
}

HWND Step::tabControl() const {
  HWND tabs = control();
  if (className(tabs) != WC_TABCONTROLA) throw Failure(arg(0) + " is a " + className(tabs));
  return tabs;
}

std::vector<std::string> Step::comboItems(HWND box) {
  std::vector<std::string> items;
  const LRESULT count = ask(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(static_cast<size_t>(ask(box, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    ask(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    items.push_back(toUtf8(text.c_str()));
  }
  return items;
}

void Step::post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!PostMessageW(hwnd, message, wParam, lParam)) {
    throw Failure("cannot post to the window (error " + std::to_string(GetLastError()) + ")");
  }
}

void Step::expectEqual(const std::string& what, const std::string& expected,
                       const std::string& actual) {
  if (expected != actual) {
    throw Failure(what + ": expected " + quote(expected) + ", found " + quote(actual));
  }
}

void Step::saveScreenshot(HWND hwnd, const std::string& file) {
  Picture picture = captureWindow(hwnd);
  if (picture.rgb.empty()) throw Failure("the window has no pixels to save");
  writeFile(file, encodePng(static_cast<uint32_t>(picture.width),
                            static_cast<uint32_t>(picture.height), picture.rgb));
  record.add("file", file).add("width", picture.width).add("height", picture.height);
}

// ---- the handlers by the table's rows

StepTable::StepTable() : handlers_(commandTable().size(), nullptr) {
  for (auto area : {addCallSteps, addWindowSteps, addInputSteps, addCheckSteps, addPictureSteps,
                    addProgramSteps}) {
    area(*this);
  }
  for (const CommandInfo& c : commandTable()) {
    if (c.actor == Actor::Driver && !handler(c)) {
      throw std::logic_error("the driver has no handler for " + std::string(c.name));
    }
  }
}

void StepTable::add(std::string_view name, StepHandler step) {
  const CommandInfo* command = findCommand(name);
  if (!command || command->actor != Actor::Driver) {
    throw std::logic_error("a handler for " + std::string(name) +
                           ", which is no command the driver plays");
  }
  StepHandler& slot = handlers_[static_cast<size_t>(command - commandTable().data())];
  if (slot) throw std::logic_error("two handlers for " + std::string(name));
  slot = step;
}

StepHandler StepTable::handler(const CommandInfo& command) const {
  return handlers_.at(static_cast<size_t>(&command - commandTable().data()));
}

}  // namespace risview::host
