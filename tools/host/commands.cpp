#include "host/commands.h"

#include <algorithm>

#include "host/script.h"

namespace risview::host {

namespace {

using enum Kind;
using enum Times;
using Setup = std::vector<SetupLine>;

// ---- rules across a line's arguments and options

const char* needsClassOrCaption(const Command& c) {
  return c.option("class") || c.option("caption") ? nullptr : "needs class= or caption=";
}

const char* textOrContains(const Command& c) {
  return c.args.empty() == !c.option("contains") ? "takes either a text or contains=, not both"
                                                 : nullptr;
}

const char* keysHeld(const Command& c) {
  if (c.args.size() < 3) return nullptr;
  const std::string& held = c.args[2].text;
  return held == "ctrl" || held == "shift" || held == "ctrl+shift"
             ? nullptr
             : "the keys held are ctrl, shift or ctrl+shift";
}

const char* rowOrPoint(const Command& c) {
  return c.option("row") && c.option("at") ? "takes row= or at=, not both" : nullptr;
}

// ---- what the runner's commands add to its set-up

// The value of the line `KEY VALUE` for each argument.
void eachArgument(const Command& c, const char* key, Setup& out) {
  for (const Arg& a : c.args) out.push_back({key, a.text});
}

void fixtureSetup(const Command& c, Setup& out) {
  eachArgument(c, "fixture", out);
}
void sectionsSetup(const Command& c, Setup& out) {
  eachArgument(c, "section", out);
}
void backendSetup(const Command& c, Setup& out) {
  eachArgument(c, "backend", out);
}
void silentServerSetup(const Command& c, Setup& out) {
  eachArgument(c, "silent-server", out);
}
void lockTableSetup(const Command& c, Setup& out) {
  eachArgument(c, "lock-table", out);
}

// One key of the option file, in the form prepare_workdir takes: SECTION:KEY=VALUE.
void optionSetup(const Command& c, Setup& out) {
  out.push_back({"section", c.args[0].text + ":" + c.args[1].text + "=" + c.args[2].text});
}

void displayDpiSetup(const Command& c, Setup& out) {
  out.push_back({"display-dpi", c.args[0].text});
  const bool unaware = c.args.size() > 1 && c.args[1].text == "unaware";
  out.push_back({"host-flag", unaware ? "--dpi-unaware" : "--dpi-aware"});
}

void hostOleSetup(const Command&, Setup& out) {
  out.push_back({"host-flag", "--ole"});
}

void hostReloadSetup(const Command& c, Setup& out) {
  out.push_back({"host-flag", "--reload"});
  for (const auto& [key, value] : c.options) {
    out.push_back({"host-flag", "--" + key});
    out.push_back({"host-flag", value});
  }
}

void printerSetup(const Command&, Setup& out) {
  out.push_back({"printer", "yes"});
}
void plantSetup(const Command&, Setup& out) {
  out.push_back({"plant-riched20", "yes"});
}

// NAME ACTION [ARGUMENT], blank-separated, for the runner's watcher to split.
void onSignalSetup(const Command& c, Setup& out) {
  std::string line;
  for (const Arg& a : c.args) line += (line.empty() ? "" : " ") + a.text;
  out.push_back({"on-signal", line});
}

// ---- the table

constexpr OptionParam kTimeout{"timeout", Count, "S"};

// The runner's: the run's databases and option file.
std::vector<CommandInfo> runnerFileCommands() {
  return {
      {.name = "fixture",
       .params = {{"NAME"}},
       .actor = Actor::Runner,
       .help = "databases from fixtures/NAME.sql and fixtures/NAME.archive.sql",
       .setup = fixtureSetup},
      {.name = "options",
       .params = {{"SECTION", Section},
                  {"SECTION", Section, Optional},
                  {"SECTION", Section, Optional}},
       .actor = Actor::Runner,
       .help = "sections of RisOption.ini: ris, dicom, web; none (or no line): no file",
       .setup = sectionsSetup},
      {.name = "option",
       .params = {{"SECTION"}, {"KEY"}, {"VALUE"}},
       .actor = Actor::Runner,
       .help = "one key of RisOption.ini with another value, or added with its section",
       .setup = optionSetup},
      {.name = "backend",
       .params = {{"postgres|postgres-private"}},
       .actor = Actor::Runner,
       .help = "the databases on the test run's PostgreSQL server, or on one of this run alone",
       .setup = backendSetup},
  };
}

// The runner's: faults it makes, and what the host it starts is like.
std::vector<CommandInfo> runnerFaultCommands() {
  return {
      {.name = "silent-server",
       .params = {{"ris|dicom"}},
       .actor = Actor::Runner,
       .help = "that section's server accepts connections and never answers",
       .setup = silentServerSetup},
      {.name = "lock-table",
       .params = {{"TABLE"}},
       .actor = Actor::Runner,
       .help = "another session holds the table: every statement reading it waits",
       .setup = lockTableSetup},
      {.name = "display-dpi",
       .params = {{"N", Count}, {"unaware", Text, Optional}},
       .actor = Actor::Runner,
       .help = "the prefix's screen resolution for this run, and a DPI-aware (or unaware) host",
       .setup = displayDpiSetup},
      {.name = "host-ole",
       .actor = Actor::Runner,
       .help = "a host that initialises OLE on its calling thread (risview-host --ole)",
       .setup = hostOleSetup},
      {.name = "host-reload",
       .options = {{"warmup", Text, "N"}, {"growth-kib", Text, "N"}},
       .actor = Actor::Runner,
       .help = "a host that loads the library before each call and frees it after",
       .setup = hostReloadSetup},
      {.name = "plant-riched20",
       .actor = Actor::Runner,
       .help = "a riched20.dll of no use beside the host and in the run folder; loading it fails",
       .setup = plantSetup},
      {.name = "printer",
       .actor = Actor::Runner,
       .help = "the preview offers printing, into printed.ps; the run fails when nothing printed",
       .setup = printerSetup},
      {.name = "on-signal",
       .params = {{"NAME"}, {"ACTION"}, {"ARG", Text, Optional}},
       .actor = Actor::Runner,
       .help = "what the runner does at `signal NAME`: stop-database, stop-archive, remove-file",
       .setup = onSignalSetup},
  };
}

std::vector<CommandInfo> callCommands() {
  return {
      {.name = "call",
       .params = {{"CLINIC", TextOrNull}, {"HOSPITAL", TextOrNull}},
       .options = {{"x87", Count, "N"}, {"mxcsr", Count, "N"}},
       .help = "one ShowTarnel call, made once the driver reaches this line"},
      {.name = "expect-return",
       .params = {{"VALUE", Count, Optional}},
       .help = "the next call returns VALUE (1) and leaves the floating-point control as it was"},
      {.name = "signal",
       .params = {{"NAME"}},
       .options = {kTimeout},
       .help = "asks the runner to act (its on-signal NAME line) and waits until it has"},
      {.name = "nested-call",
       .options = {{"within", Count, "MS"}},
       .help = "the host's window calls ShowTarnel from inside the running call; it returns 1"},
      {.name = "expect-host-enabled",
       .params = {{"yes|no", YesNo}},
       .help = "the host's main window takes input, or is disabled by a modal run"},
      {.name = "wait-unloaded",
       .help = "the host (host-reload) has freed the library after the call that returned last"},
      {.name = "resources",
       .params = {{"LABEL", Text, Optional}},
       .help = "records the process's windows, private bytes and peak working set"},
  };
}

std::vector<CommandInfo> windowCommands() {
  return {
      {.name = "timeout",
       .params = {{"SECONDS", Count}},
       .help = "the time limit of the waits that follow (20 s)"},
      {.name = "wait",
       .options = {{"class", Text, "C"}, {"caption", Text, "T"}, kTimeout},
       .help = "waits for a visible top-level window; it becomes the current window",
       .rule = needsClassOrCaption},
      {.name = "wait-gone",
       .options = {kTimeout},
       .help = "waits until the current window is closed or hidden"},
      {.name = "expect-no-window",
       .options = {{"class", Text, "C"}, {"caption", Text, "T"}},
       .help = "no such window is visible",
       .rule = needsClassOrCaption},
      {.name = "close",
       .options = {{"via", CloseVia, "close-box|message"}},
       .help = "the close box (SC_CLOSE) or WM_CLOSE to the current window"},
      {.name = "settle",
       .help = "waits until the calling thread has taken every message posted to it so far"},
      {.name = "box",
       .options = {{"text", Text, "T"},
                   {"caption", Text, "T"},
                   {"style", Count, "N"},
                   {"press", Button, "BUTTON"},
                   {"screenshot", Text, "FILE"},
                   kTimeout},
       .help = "waits for a message box, checks it, presses a button, waits for it to close"},
      {.name = "expect-no-box", .help = "after settle, no message box is open"},
      {.name = "count-windows", .help = "after settle, counts every window of the process"},
      {.name = "expect-same-windows",
       .help = "after settle, the process has as many windows as count-windows found"},
      {.name = "dump", .help = "records the current window and every control in it"},
  };
}

std::vector<CommandInfo> inputCommands() {
  return {
      {.name = "click", .params = {{"NAME"}}, .help = "BM_CLICK to a button"},
      {.name = "click-tool",
       .params = {{"NAME"}, {"INDEX", Count}},
       .help = "the tool bar's button INDEX is clicked: its command to the bar's owner"},
      {.name = "type",
       .params = {{"NAME"}, {"TEXT"}},
       .help = "posts WM_CHAR for each character of TEXT"},
      {.name = "key",
       .params = {{"NAME"}, {"KEY", KeyName}, {"ctrl|shift|ctrl+shift", Text, Optional}},
       .help = "posts WM_KEYDOWN and WM_KEYUP, with Ctrl and/or Shift held",
       .rule = keysHeld},
      {.name = "select-text",
       .params = {{"NAME"}, {"START", Count}, {"END", Count}},
       .help = "focuses an edit or rich-text box and selects characters START to END"},
      {.name = "double-click",
       .params = {{"NAME"}},
       .options = {{"row", Count, "N"}, {"at", Point, "X,Y"}},
       .help = "a double click on a list view: on a row, at a point, or below the rows",
       .rule = rowOrPoint},
      {.name = "select",
       .params = {{"NAME"}, {"ROW|none", RowOrNone}},
       .help = "selects one list row, or none; on a drop-down list, chooses item ROW"},
      {.name = "select-tab",
       .params = {{"NAME"}, {"INDEX", Count}},
       .help = "selects a tab as a click does: TCN_SELCHANGING, TCM_SETCURSEL, TCN_SELCHANGE"},
      {.name = "scroll",
       .params = {{"NAME"}, {"LINES", Number}},
       .help = "line steps down (up when negative) in a scroll box"},
      {.name = "wheel",
       .params = {{"NAME"}, {"N", Number}, {"ctrl|shift", Text, Optional}},
       .help = "N notches of the wheel over the middle of the control"},
  };
}

std::vector<CommandInfo> checkCommands() {
  return {
      {.name = "expect-caption",
       .params = {{"TEXT"}},
       .help = "the current window's caption is TEXT"},
      {.name = "expect-text", .params = {{"NAME"}, {"TEXT"}}, .help = "the control's text is TEXT"},
      {.name = "expect-visible",
       .params = {{"NAME"}, {"yes|no", YesNo, Optional}},
       .help = "the control is (not) visible"},
      {.name = "expect-enabled",
       .params = {{"NAME"}, {"yes|no", YesNo, Optional}},
       .help = "the control is (not) enabled"},
      {.name = "expect-rect",
       .params = {{"NAME"}, {"X", Number}, {"Y", Number}, {"W", Count}, {"H", Count}},
       .help = "the control's rectangle in the current window's client area"},
      {.name = "expect-clipboard",
       .params = {{"TEXT", Text, OneOrMore}},
       .help = "the clipboard's text is TEXT; with several, each after the one before"},
      {.name = "expect-rows",
       .params = {{"NAME"}, {"N", Count}},
       .help = "the list view has N rows"},
      {.name = "expect-row",
       .params = {{"NAME"}, {"ROW", Count}, {"TEXT", Text, AnyNumber}},
       .help = "the row's item and sub-item texts begin with TEXT..."},
      {.name = "expect-column",
       .params = {{"NAME"}, {"INDEX", Count}, {"TEXT"}, {"WIDTH", Count, Optional}},
       .help = "the list view's column caption and width"},
      {.name = "expect-selected",
       .params = {{"NAME"}, {"ROW|none", RowOrNone}},
       .help = "the list view's selected rows, or the tab control's current tab"},
      {.name = "expect-tabs",
       .params = {{"NAME"}, {"TEXT", Text, AnyNumber}},
       .help = "the tab control's captions, now or within the time limit"},
      {.name = "expect-items",
       .params = {{"NAME"}, {"TEXT", Text, AnyNumber}},
       .help = "the drop-down list's item texts"},
      {.name = "expect-marks",
       .params = {{"NAME"}, {"TEXT"}},
       .help = "the rich-text box's text with [+underlined] and [-struck through] marks"},
  };
}

std::vector<CommandInfo> pictureCommands() {
  return {
      {.name = "screenshot",
       .params = {{"FILE"}},
       .help = "the current window as PNG, once no picture of it is still being decoded"},
      {.name = "expect-drawn",
       .params = {{"NAME", Text, OneOrMore}},
       .options = {kTimeout},
       .help = "each picture is drawn from its decoded pixels, now or within the time limit"},
      {.name = "expect-blank",
       .params = {{"NAME", Text, OneOrMore}},
       .options = {kTimeout},
       .help = "each picture could not be shown: its box is one colour, not the placeholder"},
      {.name = "expect-pictures-drawn",
       .params = {{"NAME"}, {"COUNT", Count}},
       .options = {kTimeout},
       .help = "pages down the scroll box, each view's pictures drawn; COUNT pictures in all"},
      {.name = "scroll-timed",
       .params = {{"NAME"}, {"LINES", Count}},
       .help = "scrolls LINES lines down one at a time, timing each step"},
  };
}

std::vector<CommandInfo> programCommands() {
  return {
      {.name = "start",
       .params = {{"PROGRAM"}, {"ARG", Text, AnyNumber}},
       .help = "starts a helper program and waits until it waits for input"},
      {.name = "expect-process",
       .params = {{"PROGRAM"}, {"running|ended", ProcessState}},
       .options = {{"code", Count, "N"}, kTimeout},
       .help = "the program last started still runs, or ends (with exit status N)"},
      {.name = "expect-launch",
       .params = {{"ADDRESS"}},
       .options = {kTimeout},
       .help = "the browser's next start is given ADDRESS"},
      {.name = "expect-no-launch",
       .help = "after settle, the browser has not been started beyond what expect-launch saw"},
      {.name = "keep-accessible",
       .params = {{"CONTROL"}},
       .help = "takes the sheet's accessible object and keeps it, as a screen reader does"},
      {.name = "expect-accessible",
       .params = {{"connected|disconnected"}},
       .help = "a call on the kept object answers S_OK, or a COM disconnection error"},
      {.name = "expect-debug",
       .params = {{"TEXT", Text, Optional}},
       .options = {{"contains", Text, "TEXT"}},
       .help = "the runner finds a debugger line equal to (containing) TEXT after the last one",
       .rule = textOrContains},
      {.name = "reject-debug",
       .params = {{"TEXT"}},
       .help = "the runner finds no debugger line containing TEXT"},
  };
}

std::vector<CommandInfo> allCommands() {
  std::vector<CommandInfo> all;
  for (auto part : {runnerFileCommands, runnerFaultCommands, callCommands, windowCommands,
                    inputCommands, checkCommands, pictureCommands, programCommands}) {
    for (CommandInfo& c : part()) all.push_back(std::move(c));
  }
  return all;
}

std::string optionSynopsis(const OptionParam& o) {
  return " [" + std::string(o.name) + "=" + std::string(o.value) + "]";
}

std::string paramSynopsis(const Param& p) {
  const std::string name(p.name);
  switch (p.times) {
    case Once:
      return " " + name;
    case Optional:
      return " [" + name + "]";
    case OneOrMore:
      return " " + name + "...";
    case AnyNumber:
      return " [" + name + "...]";
  }
  return {};
}

}  // namespace

const std::vector<CommandInfo>& commandTable() {
  static const std::vector<CommandInfo> table = allCommands();
  return table;
}

const CommandInfo* findCommand(std::string_view name) {
  for (const CommandInfo& c : commandTable()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::string synopsis(const CommandInfo& command) {
  std::string out(command.name);
  for (const Param& p : command.params) out += paramSynopsis(p);
  for (const OptionParam& o : command.options) out += optionSynopsis(o);
  return out;
}

std::string commandList() {
  std::string out;
  for (const Actor actor : {Actor::Runner, Actor::Driver}) {
    out += actor == Actor::Runner ? "Set up by the runner before the host starts:\n"
                                  : "Played by the host's driver:\n";
    for (const CommandInfo& c : commandTable()) {
      if (c.actor != actor) continue;
      // The help in a column of its own, or two blanks after a long synopsis.
      std::string line = "  " + synopsis(c);
      line.resize(std::max<size_t>(line.size() + 2, 44), ' ');
      out += line + std::string(c.help) + "\n";
    }
  }
  return out;
}

}  // namespace risview::host
