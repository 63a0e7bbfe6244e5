// A user's input to the library's windows: clicks, typing, keys, selections, scrolling, each
// posted to the control as the system would.
#include "host/step_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

namespace risview::host {

namespace {

LPARAM pointParam(POINT p) {
  return MAKELPARAM(p.x, p.y);
}

void click(Step& s) {
  s.post(s.control(), BM_CLICK, 0, 0);
}

// A tool bar's buttons are no windows of their own: the bar tells its owner of a click by
// the button's command.
void clickTool(Step& s) {
  HWND bar = s.control();
  if (className(bar) != TOOLBARCLASSNAMEA) throw Failure(s.arg(0) + " is a " + className(bar));
  const long index = s.number(1);
  TBBUTTON button{};
  if (!SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&button))) {
    throw Failure(s.arg(0) + " has no button " + std::to_string(index));
  }
  if (button.fsState & TBSTATE_HIDDEN) {
    throw Failure("button " + std::to_string(index) + " of " + s.arg(0) + " is hidden");
  }
  s.post(GetParent(bar), WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED),
         reinterpret_cast<LPARAM>(bar));
}

void type(Step& s) {
  HWND target = s.control();
  for (wchar_t unit : toWide(s.arg(1))) s.post(target, WM_CHAR, unit, 1);
}

void pressKey(Step& s, HWND target, UINT vk) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  s.post(target, WM_KEYDOWN, vk, scan | 1);
  s.post(target, WM_KEYUP, vk, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

// The calling thread reads the held keys with GetKeyState, which posted messages do not
// change: for the key the driver shares the thread's input state and marks them down in it,
// until the thread has taken the key.
void pressKeyHeld(Step& s, HWND target, UINT vk, const std::string& held) {
  if (!AttachThreadInput(GetCurrentThreadId(), s.state.uiThread, TRUE)) {
    throw Failure("cannot share the calling thread's input state");
  }
  BYTE saved[256]{}, keys[256]{};
  GetKeyboardState(saved);
  std::copy(std::begin(saved), std::end(saved), std::begin(keys));
  if (held.find("ctrl") != std::string::npos) keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
  if (held.find("shift") != std::string::npos) keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
  SetKeyboardState(keys);
  auto restore = [&] {
    SetKeyboardState(saved);
    AttachThreadInput(GetCurrentThreadId(), s.state.uiThread, FALSE);
  };
  try {
    pressKey(s, target, vk);
    s.settle();
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

// A key, with Ctrl and/or Shift held.
void key(Step& s) {
  HWND target = s.control();
  const UINT vk = *virtualKeyCode(s.arg(1));
  if (s.command.args.size() > 2) return pressKeyHeld(s, target, vk, s.arg(2));
  pressKey(s, target, vk);
}

// Selects characters START to END of an edit or rich-text box, as a drag over them does:
// the box takes the focus too (through the calling thread's input state, shared for it).
void selectText(Step& s) {
  HWND box = s.control();
  if (AttachThreadInput(GetCurrentThreadId(), s.state.uiThread, TRUE)) {
    SetFocus(box);
    AttachThreadInput(GetCurrentThreadId(), s.state.uiThread, FALSE);
  }
  ask(box, EM_SETSEL, static_cast<WPARAM>(s.number(1)), static_cast<LPARAM>(s.number(2)));
}

// Where the double click lands: at=, the middle of row= near its left, or below the last row
// (below the header of an empty list).
POINT doubleClickPoint(Step& s, HWND list) {
  if (auto at = s.command.option("at")) {
    const size_t comma = at->find(',');
    return {parseLong(at->substr(0, comma)), parseLong(at->substr(comma + 1))};
  }
  if (auto row = s.command.option("row")) {
    const int r = static_cast<int>(parseLong(*row));
    if (r >= listRowCount(list)) throw Failure("the list has no row " + *row);
    const RECT item = listItemRect(list, r);
    return {item.left + std::min<LONG>(20, (item.right - item.left) / 2),
            (item.top + item.bottom) / 2};
  }
  RECT client{};
  GetClientRect(list, &client);
  const int rows = listRowCount(list);
  const POINT p{10, rows ? listItemRect(list, rows - 1).bottom + 4 : listHeaderHeight(list) + 4};
  if (p.y >= client.bottom) throw Failure("the list has no empty area left to click");
  return p;
}

void doubleClick(Step& s) {
  HWND list = s.listView();
  const POINT p = doubleClickPoint(s, list);
  s.record.add("at", Json::array({p.x, p.y}));
  s.post(list, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(p));
  s.post(list, WM_LBUTTONUP, 0, pointParam(p));
  s.post(list, WM_LBUTTONDBLCLK, MK_LBUTTON, pointParam(p));
  s.post(list, WM_LBUTTONUP, 0, pointParam(p));
}

// A drop-down's item chosen as a user chooses it: selected, then its owner told.
void selectComboItem(Step& s, HWND box) {
  const int index = static_cast<int>(s.number(1));
  if (index >= static_cast<int>(s.comboItems(box).size())) throw Failure("no item " + s.arg(1));
  ask(box, CB_SETCURSEL, index, 0);
  s.post(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(box));
}

void selectItem(Step& s) {
  if (HWND box = s.control(); className(box) == "ComboBox") return selectComboItem(s, box);
  HWND list = s.listView();
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  ask(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  if (s.arg(1) == "none") return;
  const int row = static_cast<int>(s.number(1));
  if (row >= listRowCount(list)) throw Failure("the list has no row " + s.arg(1));
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ask(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void selectTab(Step& s) {
  HWND tabs = s.tabControl();
  const int index = static_cast<int>(s.number(1));
  if (index >= static_cast<int>(tabTexts(tabs).size())) throw Failure("no tab " + s.arg(1));
  HWND parent = GetParent(tabs);
  NMHDR header{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGING)};
  if (ask(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header))) {
    throw Failure("the window refused to leave the current tab");
  }
  ask(tabs, TCM_SETCURSEL, index, 0);
  header.code = static_cast<UINT>(TCN_SELCHANGE);
  ask(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// Lines down (or up, for a negative count) in a scroll box, as its scroll bar's arrows do.
void scroll(Step& s) {
  HWND box = s.control();
  const long lines = s.number(1);
  for (long i = 0; i < std::abs(lines); ++i) {
    s.post(box, WM_VSCROLL, lines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
  }
}

// Notches of the wheel (positive away from the user) over the middle of a control, with
// the keys held that the third argument names ("ctrl", "shift" or none).
void wheel(Step& s) {
  HWND target = s.control();
  const long notches = s.number(1);
  const std::string keys = s.command.args.size() > 2 ? s.arg(2) : "";
  const WORD held = keys == "ctrl" ? MK_CONTROL : keys == "shift" ? MK_SHIFT : 0;
  RECT r{};
  GetWindowRect(target, &r);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  for (long i = 0; i < std::abs(notches); ++i) {
    s.post(target, WM_MOUSEWHEEL, MAKEWPARAM(held, notches > 0 ? WHEEL_DELTA : -WHEEL_DELTA), at);
  }
}

}  // namespace

void addInputSteps(StepTable& table) {
  table.add("click", click);
  table.add("click-tool", clickTool);
  table.add("type", type);
  table.add("key", key);
  table.add("select-text", selectText);
  table.add("double-click", doubleClick);
  table.add("select", selectItem);
  table.add("select-tab", selectTab);
  table.add("scroll", scroll);
  table.add("wheel", wheel);
}

}  // namespace risview::host
