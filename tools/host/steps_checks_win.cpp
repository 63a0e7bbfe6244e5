// Expectations on the current window's controls and on the clipboard; each first settles.
#include "host/step_win.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

namespace risview::host {

namespace {

// The arguments from `first` on.
std::vector<std::string> argsFrom(const Step& s, size_t first) {
  std::vector<std::string> out;
  for (size_t i = first; i < s.command.args.size(); ++i) out.push_back(s.arg(i));
  return out;
}

void expectCaption(Step& s) {
  s.settle();
  s.expectEqual("caption of " + className(s.window()), s.arg(0), windowText(s.window()));
}

void expectText(Step& s) {
  s.settle();
  s.expectEqual("text of " + s.arg(0), s.arg(1), s.component().text);
}

void expectFlag(Step& s, bool actual, const char* what) {
  const bool expected = s.command.args.size() < 2 || s.arg(1) == "yes";
  if (expected != actual) {
    throw Failure(s.arg(0) + " is " + (actual ? "" : "not ") + what + ", expected " +
                  (expected ? "" : "not ") + what);
  }
}

void expectVisible(Step& s) {
  s.settle();
  expectFlag(s, s.component().visible, "visible");
}

void expectEnabled(Step& s) {
  s.settle();
  expectFlag(s, s.component().enabled, "enabled");
}

void expectRect(Step& s) {
  s.settle();
  RECT screen = s.component().screen;
  MapWindowPoints(nullptr, s.window(), reinterpret_cast<POINT*>(&screen), 2);
  const std::string actual = std::to_string(screen.left) + " " + std::to_string(screen.top) + " " +
                             std::to_string(screen.right - screen.left) + " " +
                             std::to_string(screen.bottom - screen.top);
  const std::string expected = s.arg(1) + " " + s.arg(2) + " " + s.arg(3) + " " + s.arg(4);
  s.expectEqual("rectangle (x y width height) of " + s.arg(0), expected, actual);
}

// The clipboard's Unicode text, as another program pasting it reads it.
std::string clipboardText() {
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
  return text;
}

// With one text, exactly that; with several, each after the one before, the last one ending
// the text.
void expectClipboard(Step& s) {
  s.settle();
  const std::string text = clipboardText();
  if (s.command.args.size() == 1) return s.expectEqual("text on the clipboard", s.arg(0), text);
  size_t from = 0;
  for (size_t i = 0; i < s.command.args.size(); ++i) {
    const size_t at = text.find(s.arg(i), from);
    if (at == std::string::npos) {
      throw Failure("the clipboard's text has no " + quote(s.arg(i)) +
                    (i ? " after " + quote(s.arg(i - 1)) : std::string()) + ": " + quote(text));
    }
    from = at + s.arg(i).size();
  }
  while (from < text.size() && (text[from] == '\r' || text[from] == '\n')) ++from;
  if (from != text.size()) {
    throw Failure("the clipboard's text goes on after " + quote(s.command.args.back().text) + ": " +
                  quote(text.substr(from)));
  }
}

void expectRows(Step& s) {
  s.settle();
  HWND list = s.listView();
  const int rows = listRowCount(list);
  if (rows == s.number(1)) return;
  std::string shown;
  const auto columns = static_cast<int>(listColumns(list).size());
  for (int r = 0; r < rows; ++r) shown += "\n    " + describeTexts(listRow(list, r, columns));
  throw Failure(s.arg(0) + ": expected " + s.arg(1) + " rows, found " + std::to_string(rows) +
                shown);
}

void expectRow(Step& s) {
  s.settle();
  HWND list = s.listView();
  const int row = static_cast<int>(s.number(1));
  if (row >= listRowCount(list)) {
    throw Failure(s.arg(0) + " has " + std::to_string(listRowCount(list)) + " rows, no row " +
                  s.arg(1));
  }
  const std::vector<std::string> expected = argsFrom(s, 2);
  auto actual = listRow(list, row, static_cast<int>(listColumns(list).size()));
  s.record.add("row", actual);
  actual.resize(std::max(actual.size(), expected.size()));
  if (!std::equal(expected.begin(), expected.end(), actual.begin())) {
    throw Failure(s.arg(0) + " row " + s.arg(1) + ": expected " + describeTexts(expected) +
                  ", found " + describeTexts(actual));
  }
}

void expectColumn(Step& s) {
  s.settle();
  const auto columns = listColumns(s.listView());
  const size_t index = static_cast<size_t>(s.number(1));
  if (index >= columns.size()) {
    throw Failure(s.arg(0) + " has " + std::to_string(columns.size()) + " columns");
  }
  const std::string what = s.arg(0) + " column " + s.arg(1);
  s.expectEqual(what + " caption", s.arg(2), columns[index].text);
  if (s.command.args.size() > 3) {
    s.expectEqual(what + " width", s.arg(3), std::to_string(columns[index].width));
  }
}

void expectSelected(Step& s) {
  s.settle();
  HWND target = s.control();
  std::string actual;
  if (className(target) == WC_TABCONTROLA) {
    const int current = tabSelection(target);
    actual = current < 0 ? "none" : std::to_string(current);
  } else {
    for (int r : listSelection(s.listView())) {
      if (!actual.empty()) actual += ' ';
      actual += std::to_string(r);
    }
    if (actual.empty()) actual = "none";
  }
  s.expectEqual("selection of " + s.arg(0), s.arg(1), actual);
}

void expectItems(Step& s) {
  s.settle();
  HWND box = s.control();
  const std::vector<std::string> expected = argsFrom(s, 1);
  const auto actual = s.comboItems(box);
  if (expected != actual) {
    throw Failure("items of " + s.arg(0) + ": expected " + describeTexts(expected) + ", found " +
                  describeTexts(actual));
  }
  s.record.add("selected", static_cast<long long>(ask(box, CB_GETCURSEL, 0, 0)));
}

// The tabs, now or within the time limit: pages loaded while the window waits on the
// database come when the statement has returned.
void expectTabs(Step& s) {
  s.settle();
  const std::vector<std::string> expected = argsFrom(s, 1);
  std::vector<std::string> actual;
  try {
    s.waitFor(
        [&] {
          actual = tabTexts(s.tabControl());
          return expected == actual;
        },
        "those tabs");
  } catch (const Failure&) {
    throw Failure("tabs of " + s.arg(0) + ": expected " + describeTexts(expected) + ", found " +
                  describeTexts(actual));
  }
}

// The mark of character `i`: '+' underlined, '-' struck through, 0 neither; -1 past the end.
int markOf(HWND box, LONG i, wchar_t& ch) {
  CHARRANGE range{i, i + 1};
  ask(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  wchar_t text[4] = L"";
  if (ask(box, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text)) == 0) return -1;
  ch = text[0];
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  ask(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return (format.dwEffects & CFE_UNDERLINE) ? '+' : (format.dwEffects & CFE_STRIKEOUT) ? '-' : 0;
}

// The rich-text box's text with its marks: underlined characters as "[+...]", struck
// through ones as "[-...]", read character by character from the box's own formats.
std::string marksOf(HWND box) {
  const LRESULT length = ask(box, WM_GETTEXTLENGTH, 0, 0);
  std::string marked;
  int open = 0;
  for (LONG i = 0; i < length; ++i) {
    wchar_t ch = 0;
    const int mark = markOf(box, i, ch);
    if (mark < 0) break;
    if (mark != open) {
      if (open) marked += ']';
      if (mark) marked += std::string("[") + static_cast<char>(mark);
      open = mark;
    }
    marked += toUtf8(std::wstring_view(&ch, 1));
  }
  if (open) marked += ']';
  CHARRANGE start{0, 0};
  ask(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
  return marked;
}

void expectMarks(Step& s) {
  s.settle();
  std::string marked;
  try {
    s.waitFor(
        [&] {
          marked = marksOf(s.control());
          return marked == s.arg(1);
        },
        "those marks");
  } catch (const Failure&) {
    s.expectEqual("marks of " + s.arg(0), s.arg(1), marked);
  }
}

}  // namespace

void addCheckSteps(StepTable& table) {
  table.add("expect-caption", expectCaption);
  table.add("expect-text", expectText);
  table.add("expect-visible", expectVisible);
  table.add("expect-enabled", expectEnabled);
  table.add("expect-rect", expectRect);
  table.add("expect-clipboard", expectClipboard);
  table.add("expect-rows", expectRows);
  table.add("expect-row", expectRow);
  table.add("expect-column", expectColumn);
  table.add("expect-selected", expectSelected);
  table.add("expect-items", expectItems);
  table.add("expect-tabs", expectTabs);
  table.add("expect-marks", expectMarks);
}

}  // namespace risview::host
