// One command of a script as the driver plays it, the helpers every area's handlers share,
// and the handlers by the command table's rows. Each area (steps_*_win.cpp) registers its
// handlers in the table; the runner's commands have none.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/driver_win.h"
#include "host/json.h"
#include "host/ui_win.h"

namespace risview::host {

// A command that did not hold; the driver reports it with the command's line.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command being played. A handler either returns, having added what it saw to `record`,
// or throws Failure with a message that says what was expected and what was found.
class Step {
 public:
  Step(PlayState& play, const Command& line, JsonObject& seen)
      : state(play), command(line), record(seen) {}

  PlayState& state;
  const Command& command;
  JsonObject& record;

  const std::string& arg(size_t i) const { return command.args.at(i).text; }
  long number(size_t i) const;
  // The time limit of this command's waits: its timeout= or the script's.
  DWORD limitMs() const;

  // Polls `done` until it holds. Fails at the time limit, or at once when every call has
  // returned and nothing more can appear.
  void waitFor(const std::function<bool()>& done, const std::string& what) const;
  // Waits until the calling thread has taken every message posted to it so far.
  void settle();

  // The current window (the last `wait` found it).
  HWND window() const;
  // A control of the current window by its name, the first argument's by default.
  HWND control(const std::string& name) const;
  HWND control() const { return control(arg(0)); }
  // A component to be looked at: a window, or one a report page draws.
  Component component() const;
  HWND listView() const;
  HWND tabControl() const;
  // The item texts of a drop-down list.
  std::vector<std::string> comboItems(HWND box);

  void post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void expectEqual(const std::string& what, const std::string& expected, const std::string& actual);
  // The window's picture as a PNG file, recorded with its size.
  void saveScreenshot(HWND hwnd, const std::string& file);
};

using StepHandler = void (*)(Step&);

// The driver's handler of each command of the table that the driver plays.
class StepTable {
 public:
  // Every area's handlers. Throws std::logic_error when a command the driver plays has no
  // handler, or a handler no such command.
  StepTable();
  // Called by the areas. A name that is not a driver's command of the table, or a second
  // handler for one, is the driver's mistake.
  void add(std::string_view name, StepHandler step);
  // nullptr for the runner's commands.
  StepHandler handler(const CommandInfo& command) const;

 private:
  std::vector<StepHandler> handlers_;  // by row of commandTable()
};

// The areas' handlers.
void addCallSteps(StepTable& table);     // calls of the library and the host around them
void addWindowSteps(StepTable& table);   // windows, message boxes, records of windows
void addInputSteps(StepTable& table);    // clicks, keys, typing, selections, scrolling
void addCheckSteps(StepTable& table);    // expectations on controls and the clipboard
void addPictureSteps(StepTable& table);  // pictures drawn, screenshots, timed scrolling
void addProgramSteps(StepTable& table);  // programs beside the library, debug output

// The settle marker: the driver posts it to the calling thread, and the message hook notes
// when that thread takes it from its queue, which it does only after every message posted
// before it.
UINT settleMessage();
LRESULT CALLBACK settleHook(int code, WPARAM removed, LPARAM lParam);
// When the calling thread took the last settle marker, in microseconds of nowUs().
long long settledAtUs();
// Microseconds of the performance counter.
long long nowUs();

long parseLong(const std::string& text);
std::string quote(const std::string& text);
Json rectJson(const Rect& r);
std::string describeTexts(const std::vector<std::string>& texts);
// The window as the transcript shows it.
Json windowJson(HWND hwnd);
// Every visible top-level window of the process, for a failure message.
std::string describeOpenWindows();
HWND visibleMessageBox();
// Every window of the host's process, top-level and child, counted by enumeration.
int windowCount();

}  // namespace risview::host
