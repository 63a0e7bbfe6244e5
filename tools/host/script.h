// The scenario language of the demo host: one command per line, words and quoted texts,
// "key=value" options, "#" comments. Its commands are the rows of commands.h;
// tests/e2e/README.md describes each at length.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/commands.h"

namespace risview::host {

// A word or a quoted text of a command line. A bare `null` and a quoted "null" differ.
struct Arg {
  std::string text;
  bool quoted = false;
  bool isNull() const { return !quoted && text == "null"; }
};

struct Command {
  int line = 0;
  std::string name;
  const CommandInfo* info = nullptr;  // its row of the command table
  std::vector<Arg> args;
  std::map<std::string, std::string> options;

  // The option's text, or nullopt when the command does not carry it.
  std::optional<std::string> option(const std::string& key) const;
  // The whole source line, for messages.
  std::string source;
};

// The arguments of one ShowTarnel call; nullopt passes a null pointer. x87 and mxcsr: the
// floating-point control the host's thread sets before the call, as some hosts run.
struct CallArgs {
  std::optional<std::string> clinicId;
  std::optional<std::string> hospitalId;
  std::optional<unsigned> x87, mxcsr;
};

struct Script {
  std::vector<Command> commands;
  // The `call` lines in order: the calls the host makes.
  std::vector<CallArgs> calls() const;
  // What the runner's commands ask of the run, in the order of their lines.
  std::vector<SetupLine> setup() const;
};

// A syntax error, an unknown command or option, or a wrong number of arguments.
class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& message);
  int line() const { return line_; }

 private:
  int line_;
};

// Parses a whole script (UTF-8). Throws ScriptError naming the first bad line.
Script parseScript(std::string_view text);

// Key names of the `key` command and their virtual-key codes ("Escape" 0x1B, "F12" 0x7B,
// a single letter or digit its own code). nullopt for a name it does not know.
std::optional<unsigned> virtualKeyCode(std::string_view name);

}  // namespace risview::host
