// The commands of the scenario language, each in one row: what it takes, who acts on it and
// one line of help. The parser checks each line against its row, the driver finds the
// command's handler through it, the runner's set-up is written from it, and
// `risview-scenario --commands` prints it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace risview::host {

struct Command;

// What an argument, or an option's value, may be. Numbers may be written in hex (0x10).
enum class Kind {
  Text,          // any word or quoted text
  TextOrNull,    // a text, or a bare `null`: a null pointer
  Count,         // a whole number of at least 0, not quoted
  Number,        // a whole number, negative too, not quoted
  RowOrNone,     // a count, or `none`
  YesNo,         // `yes` or `no`
  KeyName,       // a key name of virtualKeyCode: Escape, F12, A ...
  Section,       // an option-file section word: none, ris, dicom or web
  ProcessState,  // `running` or `ended`
  Point,         // X,Y
  CloseVia,      // close-box or message
  Button,        // a message box's button: ok, cancel, yes, no ...
};

// How many of an argument a line holds. Only the last argument of a command repeats.
enum class Times { Once, Optional, OneOrMore, AnyNumber };

struct Param {
  std::string_view name;  // as the help shows it
  Kind kind = Kind::Text;
  Times times = Times::Once;
};

struct OptionParam {
  std::string_view name;
  Kind kind = Kind::Text;
  std::string_view value;  // the value as the help shows it
};

// Who acts on a command: the host's driver as it plays the script, or the runner
// (tests/e2e/run-scenario), which sets the run up from these lines before the host starts.
enum class Actor { Driver, Runner };

// One line of the runner's set-up: a key and its value, as `risview-scenario --setup`
// prints them.
struct SetupLine {
  std::string key, value;
  bool operator==(const SetupLine&) const = default;
};

struct CommandInfo {
  std::string_view name;
  std::vector<Param> params;
  std::vector<OptionParam> options;
  Actor actor = Actor::Driver;
  std::string_view help;
  // What a line must hold beyond each argument's kind: the message of a line that does not
  // (the command's name goes before it), or nullptr.
  const char* (*rule)(const Command&) = nullptr;
  // A runner's command: what it adds to the run's set-up.
  void (*setup)(const Command&, std::vector<SetupLine>&) = nullptr;
};

// Every command, the runner's first, then the driver's by topic.
const std::vector<CommandInfo>& commandTable();
// nullptr for a name that is no command.
const CommandInfo* findCommand(std::string_view name);

// The command as the help writes it: `key NAME KEY [ctrl|shift|ctrl+shift]`.
std::string synopsis(const CommandInfo& command);
// The whole table as `risview-scenario --commands` prints it, a command a line.
std::string commandList();

}  // namespace risview::host
