// Windows and message boxes: waiting for them, closing them, recording them.
#include "host/step_win.h"

#include <commctrl.h>

#include <utility>

namespace risview::host {

namespace {

void timeout(Step& s) {
  s.state.timeoutMs = static_cast<DWORD>(s.number(0) * 1000);
}

void settle(Step& s) {
  s.settle();
}

// What the class= and caption= options describe.
std::string describedWindow(const Step& s) {
  auto cls = s.command.option("class");
  auto caption = s.command.option("caption");
  std::string what = "window";
  if (cls) what += " of class " + quote(*cls);
  if (caption) what += std::string(cls ? " and" : "") + " captioned " + quote(*caption);
  return what;
}

// The visible top-level window the class= and caption= options describe, or nullptr.
HWND findDescribedWindow(const Step& s) {
  auto cls = s.command.option("class");
  auto caption = s.command.option("caption");
  for (HWND hwnd : processWindows()) {
    if (!IsWindowVisible(hwnd)) continue;
    if (cls && className(hwnd) != *cls) continue;
    if (caption && windowText(hwnd) != *caption) continue;
    return hwnd;
  }
  return nullptr;
}

void waitWindow(Step& s) {
  HWND found = nullptr;
  Json json;
  // Read within the wait too: a window can be there while its thread is still busy.
  s.waitFor(
      [&] {
        if ((found = findDescribedWindow(s)) == nullptr) return false;
        json = windowJson(found);
        return true;
      },
      describedWindow(s));
  s.state.window = found;
  s.record.add("window", json);
}

void expectNoWindow(Step& s) {
  s.settle();
  if (HWND found = findDescribedWindow(s)) {
    throw Failure("a " + describedWindow(s) + " is open: " + jsonText(windowJson(found)));
  }
}

void waitGone(Step& s) {
  HWND w = s.window();
  s.waitFor([&] { return !IsWindow(w) || !IsWindowVisible(w); }, className(w) + " to close");
}

void closeWindow(Step& s) {
  if (s.command.option("via").value_or("close-box") == "message") {
    s.post(s.window(), WM_CLOSE, 0, 0);
  } else {
    s.post(s.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

// The button to press and its command: press=, else OK, else the box's first button; no
// window when the box has no such button.
std::pair<int, HWND> boxButton(const BoxInfo& info, const std::string& press) {
  const int id = press.empty() ? 0 : buttonId(press);
  HWND button = nullptr;
  for (const auto& [bid, bhwnd] : info.buttonIds) {
    if (bid == id) button = bhwnd;
  }
  if (!button && press.empty() && !info.buttonIds.empty()) return info.buttonIds.front();
  return {id, button};
}

// The first of caption=, text= and style= the box does not match, or empty.
std::string boxMismatch(const Step& s, const BoxInfo& info) {
  auto differs = [&](const char* key, const std::string& actual) {
    auto expected = s.command.option(key);
    return expected && *expected != actual ? std::string("box ") + key + ": expected " +
                                                 quote(*expected) + ", found " + quote(actual)
                                           : std::string();
  };
  if (auto text = differs("caption", info.caption); !text.empty()) return text;
  if (auto text = differs("text", info.text); !text.empty()) return text;
  if (auto style = s.command.option("style");
      style && parseLong(*style) != static_cast<long>(info.style)) {
    return "box style: expected " + *style + ", found " + std::to_string(info.style) + " (icon " +
           info.icon + ", buttons " + info.buttons + ")";
  }
  return {};
}

void box(Step& s) {
  HWND found = nullptr;
  s.waitFor([&] { return (found = visibleMessageBox()) != nullptr; }, "message box");
  const BoxInfo info = readMessageBox(found);
  s.record.add("caption", info.caption).add("text", info.text).add("style", info.style);
  s.record.add("icon", info.icon).add("buttons", info.buttons);
  if (auto file = s.command.option("screenshot")) s.saveScreenshot(found, *file);

  const std::string press = s.command.option("press").value_or(info.buttons == "ok" ? "ok" : "");
  const auto [id, button] = boxButton(info, press);
  s.record.add("pressed", button ? windowText(button) : std::string());
  // Checked after reading everything, so that the transcript shows the whole box.
  std::string failure = boxMismatch(s, info);
  if (!button) failure = "the box has no " + press + " button";
  if (button) {
    s.post(found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  if (!failure.empty()) throw Failure(failure + " (box " + quote(info.text) + ")");
  const ULONGLONG t0 = GetTickCount64();
  s.waitFor([&] { return !IsWindow(found) || !IsWindowVisible(found); }, "box to close");
  s.record.add("closing", static_cast<long long>(GetTickCount64() - t0));
}

void expectNoBox(Step& s) {
  s.settle();
  if (HWND found = visibleMessageBox()) {
    BoxInfo info = readMessageBox(found);
    throw Failure("a message box is open: " + quote(info.caption) + " " + quote(info.text));
  }
}

void countWindows(Step& s) {
  s.settle();
  s.state.windowsCounted = windowCount();
  s.record.add("windows", s.state.windowsCounted);
}

void expectSameWindows(Step& s) {
  s.settle();
  if (s.state.windowsCounted < 0) throw Failure("no count-windows before it");
  const int now = windowCount();
  s.record.add("windows", now);
  s.expectEqual("windows of the process", std::to_string(s.state.windowsCounted),
                std::to_string(now));
}

// A control as dump records it, with a list view's columns, rows and selection and a tab
// control's tabs.
Json controlJson(HWND child, HWND w) {
  JsonObject o;
  const std::string cls = className(child);
  o.add("name", componentName(child)).add("class", cls).add("text", windowText(child));
  o.add("id", GetDlgCtrlID(child)).add("rect", rectJson(rectInClient(child, w)));
  o.add("visible", IsWindowVisible(child) != FALSE).add("enabled", IsWindowEnabled(child) != FALSE);
  if (cls == WC_LISTVIEWA) {
    Json columns = Json::array(), rows = Json::array();
    const auto cols = listColumns(child);
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
  return o.json();
}

// A component a report page draws, as dump records it.
Json drawnJson(const Component& c, HWND w) {
  RECT r = c.screen;
  MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
  JsonObject o;
  o.add("name", c.name).add("class", c.className).add("text", c.text);
  o.add("rect", rectJson({r.left, r.top, r.right - r.left, r.bottom - r.top}));
  o.add("visible", c.visible).add("enabled", c.enabled);
  return o.json();
}

void dump(Step& s) {
  s.settle();
  HWND w = s.window();
  s.record.add("window", windowJson(w));
  Json controls = Json::array();
  for (HWND child : descendants(w)) controls.push_back(controlJson(child, w));
  for (const Component& c : drawnComponents(w)) controls.push_back(drawnJson(c, w));
  s.record.add("controls", controls);
}

}  // namespace

void addWindowSteps(StepTable& table) {
  table.add("timeout", timeout);
  table.add("settle", settle);
  table.add("wait", waitWindow);
  table.add("wait-gone", waitGone);
  table.add("expect-no-window", expectNoWindow);
  table.add("close", closeWindow);
  table.add("box", box);
  table.add("expect-no-box", expectNoBox);
  table.add("count-windows", countWindows);
  table.add("expect-same-windows", expectSameWindows);
  table.add("dump", dump);
}

}  // namespace risview::host
