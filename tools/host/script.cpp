#include "host/script.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace risview::host {

namespace {

// What each command takes. Argument kinds, one letter each:
//   T any word or text   I whole number >= 0   S whole number or "none"   B yes or no
//   K key name           C text or null        O option-file section word
//   P running or ended
// `rest` repeats the last kind any number of times.
struct Grammar {
  const char* name;
  const char* required;
  const char* optional;
  bool rest;
  std::set<std::string> options;
};

const std::vector<Grammar>& grammars() {
  static const std::vector<Grammar> all = {
      {"fixture", "T", "", false, {}},
      {"options", "O", "OO", false, {}},
      {"option", "TTT", "", false, {}},
      {"backend", "T", "", false, {}},
      {"silent-server", "T", "", false, {}},
      {"lock-table", "T", "", false, {}},
      {"display-dpi", "I", "T", false, {}},
      {"host-ole", "", "", false, {}},
      {"printer", "", "", false, {}},
      {"on-signal", "TT", "T", false, {}},
      {"call", "CC", "", false, {"x87", "mxcsr"}},
      {"timeout", "I", "", false, {}},
      {"wait", "", "", false, {"class", "caption", "timeout"}},
      {"wait-gone", "", "", false, {"timeout"}},
      {"expect-no-window", "", "", false, {"class", "caption"}},
      {"box", "", "", false, {"text", "caption", "style", "press", "screenshot", "timeout"}},
      {"settle", "", "", false, {}},
      {"expect-no-box", "", "", false, {}},
      {"click", "T", "", false, {}},
      {"click-tool", "TI", "", false, {}},
      {"type", "TT", "", false, {}},
      {"key", "TK", "T", false, {}},
      {"select-text", "TII", "", false, {}},
      {"double-click", "T", "", false, {"row", "at"}},
      {"select", "TS", "", false, {}},
      {"select-tab", "TI", "", false, {}},
      {"close", "", "", false, {"via"}},
      {"dump", "", "", false, {}},
      {"screenshot", "T", "", false, {}},
      {"expect-caption", "T", "", false, {}},
      {"expect-text", "TT", "", false, {}},
      {"expect-visible", "T", "B", false, {}},
      {"expect-enabled", "T", "B", false, {}},
      {"expect-rect", "TNNII", "", false, {}},
      {"expect-drawn", "T", "", true, {"timeout"}},
      {"expect-blank", "T", "", true, {"timeout"}},
      {"expect-clipboard", "T", "", true, {}},
      {"expect-pictures-drawn", "TI", "", false, {"timeout"}},
      {"expect-rows", "TI", "", false, {}},
      {"expect-row", "TI", "T", true, {}},
      {"expect-column", "TIT", "I", false, {}},
      {"expect-selected", "TS", "", false, {}},
      {"expect-tabs", "T", "T", true, {}},
      {"expect-items", "T", "T", true, {}},
      {"expect-marks", "TT", "", false, {}},
      {"expect-return", "", "I", false, {}},
      {"expect-debug", "", "T", false, {"contains"}},
      {"reject-debug", "T", "", false, {}},
      {"start", "T", "T", true, {}},
      {"expect-process", "TP", "", false, {"code", "timeout"}},
      {"expect-launch", "T", "", false, {"timeout"}},
      {"expect-no-launch", "", "", false, {}},
      {"scroll", "TN", "", false, {}},
      {"scroll-timed", "TI", "", false, {}},
      {"wheel", "TN", "T", false, {}},
      {"count-windows", "", "", false, {}},
      {"expect-same-windows", "", "", false, {}},
      {"expect-host-enabled", "B", "", false, {}},
      {"nested-call", "", "", false, {"within"}},
      {"signal", "T", "", false, {"timeout"}},
      {"resources", "", "T", false, {}},
      {"host-reload", "", "", false, {"warmup", "growth-kib"}},
      {"plant-riched20", "", "", false, {}},
      {"wait-unloaded", "", "", false, {}},
      {"keep-accessible", "T", "", false, {}},
      {"expect-accessible", "T", "", false, {}},
  };
  return all;
}

const Grammar* findGrammar(std::string_view name) {
  for (const auto& s : grammars()) {
    if (name == s.name) return &s;
  }
  return nullptr;
}

std::optional<long> parseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

struct Token {
  std::string key;  // empty unless the token was key=value
  Arg value;
};

// Splits one line into tokens. A quoted text keeps its blanks; `\"`, `\\`, `\n`, `\t`,
// `\e` (Escape) and `\u{hex}` stand for single characters inside it.
std::vector<Token> tokenize(std::string_view line, int number) {
  std::vector<Token> tokens;
  size_t i = 0;
  auto fail = [&](const std::string& what) -> void { throw ScriptError(number, what); };
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    Token token;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
           line[i] != '"' && line[i] != '=') {
      ++i;
    }
    std::string word(line.substr(start, i - start));
    if (i < line.size() && line[i] == '=') {
      if (word.empty()) fail("\"=\" without an option name");
      token.key = word;
      ++i;
      start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
             line[i] != '"') {
        ++i;
      }
      word = std::string(line.substr(start, i - start));
    }
    if (i < line.size() && line[i] == '"') {
      if (!word.empty()) fail("a quote inside the word \"" + word + "\"");
      token.value.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c != '\\') {
          token.value.text += c;
          continue;
        }
        if (i >= line.size()) break;
        char e = line[i++];
        switch (e) {
          case '"':
            token.value.text += '"';
            break;
          case '\\':
            token.value.text += '\\';
            break;
          case 'n':
            token.value.text += '\n';
            break;
          case 't':
            token.value.text += '\t';
            break;
          case 'e':
            token.value.text += '\x1b';
            break;
          case 'u': {
            size_t close = line.find('}', i);
            if (i >= line.size() || line[i] != '{' || close == std::string_view::npos) {
              fail("\\u needs a code in braces, as in \\u{7B}");
            }
            unsigned long cp = 0;
            std::string_view hex = line.substr(i + 1, close - i - 1);
            auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), cp, 16);
            if (ec != std::errc() || end != hex.data() + hex.size() || hex.empty() ||
                cp > 0x10FFFF) {
              fail("bad character code \\u{" + std::string(hex) + "}");
            }
            appendUtf8(token.value.text, static_cast<char32_t>(cp));
            i = close + 1;
            break;
          }
          default:
            fail(std::string("unknown escape \\") + e);
        }
      }
      if (!closed) fail("a quoted text is not closed");
      if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        fail("text right after a closing quote");
      }
    } else {
      token.value.text = word;
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

void checkKind(char kind, const Arg& arg, const std::string& command, int number) {
  auto fail = [&](const std::string& what) {
    throw ScriptError(number, command + ": " + what + ", not \"" + arg.text + "\"");
  };
  switch (kind) {
    case 'I': {
      auto n = parseNumber(arg.text);
      if (arg.quoted || !n || *n < 0) fail("expected a whole number");
      break;
    }
    case 'N':
      if (arg.quoted || !parseNumber(arg.text)) fail("expected a whole number");
      break;
    case 'S': {
      auto n = parseNumber(arg.text);
      if (arg.quoted || (arg.text != "none" && (!n || *n < 0))) fail("expected a row or none");
      break;
    }
    case 'B':
      if (arg.text != "yes" && arg.text != "no") fail("expected yes or no");
      break;
    case 'K':
      if (!virtualKeyCode(arg.text)) fail("expected a key name such as Escape or F12");
      break;
    case 'O':
      if (arg.text != "none" && arg.text != "ris" && arg.text != "dicom" && arg.text != "web") {
        fail("expected none, ris, dicom or web");
      }
      break;
    case 'P':
      if (arg.text != "running" && arg.text != "ended") fail("expected running or ended");
      break;
    default:
      break;
  }
}

void checkOption(const std::string& key, const std::string& value, const std::string& command,
                 int number) {
  auto fail = [&](const std::string& what) {
    throw ScriptError(number, command + ": " + key + "=" + what + ", not \"" + value + "\"");
  };
  if (key == "timeout" || key == "row" || key == "style" || key == "code" || key == "x87" ||
      key == "mxcsr" || key == "within") {
    auto n = parseNumber(value);
    if (!n || *n < 0) fail("needs a whole number");
  } else if (key == "at") {
    size_t comma = value.find(',');
    if (comma == std::string::npos || !parseNumber(value.substr(0, comma)) ||
        !parseNumber(value.substr(comma + 1))) {
      fail("needs X,Y");
    }
  } else if (key == "via") {
    if (value != "close-box" && value != "message") fail("needs close-box or message");
  } else if (key == "press") {
    static const std::set<std::string> buttons = {"ok",  "cancel", "abort",    "retry",   "ignore",
                                                  "yes", "no",     "tryagain", "continue"};
    if (!buttons.count(value)) fail("needs a button such as ok, cancel, yes or no");
  }
}

}  // namespace

std::optional<std::string> Command::option(const std::string& key) const {
  auto it = options.find(key);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

std::vector<CallArgs> Script::calls() const {
  std::vector<CallArgs> out;
  for (const auto& c : commands) {
    if (c.name != "call") continue;
    CallArgs call;
    if (!c.args[0].isNull()) call.clinicId = c.args[0].text;
    if (!c.args[1].isNull()) call.hospitalId = c.args[1].text;
    if (auto v = c.option("x87")) call.x87 = static_cast<unsigned>(*parseNumber(*v));
    if (auto v = c.option("mxcsr")) call.mxcsr = static_cast<unsigned>(*parseNumber(*v));
    out.push_back(call);
  }
  return out;
}

ScriptError::ScriptError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

Script parseScript(std::string_view text) {
  Script script;
  int number = 0;
  size_t pos = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;  // an editor's byte-order mark
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    std::vector<Token> tokens = tokenize(line, number);
    if (tokens.empty()) continue;
    if (!tokens[0].key.empty() || tokens[0].value.quoted) {
      throw ScriptError(number, "a line starts with a command name");
    }
    Command command;
    command.line = number;
    command.name = tokens[0].value.text;
    command.source = std::string(line);
    while (!command.source.empty() && command.source.back() == '\r') command.source.pop_back();
    const Grammar* grammar = findGrammar(command.name);
    if (!grammar) throw ScriptError(number, "unknown command \"" + command.name + "\"");
    for (size_t k = 1; k < tokens.size(); ++k) {
      Token& t = tokens[k];
      if (t.key.empty()) {
        command.args.push_back(std::move(t.value));
        continue;
      }
      if (!grammar->options.count(t.key)) {
        throw ScriptError(number, command.name + ": unknown option \"" + t.key + "\"");
      }
      if (command.options.count(t.key)) {
        throw ScriptError(number, command.name + ": option \"" + t.key + "\" given twice");
      }
      checkOption(t.key, t.value.text, command.name, number);
      command.options[t.key] = t.value.text;
    }
    std::string kinds = std::string(grammar->required) + grammar->optional;
    size_t required = std::char_traits<char>::length(grammar->required);
    if (command.args.size() < required || (!grammar->rest && command.args.size() > kinds.size())) {
      std::string count = std::to_string(required);
      if (grammar->rest) {
        count = "at least " + count;
      } else if (kinds.size() != required) {
        count += " to " + std::to_string(kinds.size());
      }
      const bool one = grammar->rest ? required == 1 : kinds.size() == 1;
      throw ScriptError(number, command.name + ": takes " + count + " argument" + (one ? "" : "s") +
                                    ", not " + std::to_string(command.args.size()));
    }
    for (size_t k = 0; k < command.args.size(); ++k) {
      checkKind(kinds[std::min(k, kinds.size() - 1)], command.args[k], command.name, number);
    }
    if ((command.name == "wait" || command.name == "expect-no-window") &&
        !command.option("class") && !command.option("caption")) {
      throw ScriptError(number, command.name + ": needs class= or caption=");
    }
    if (command.name == "expect-debug" && command.args.empty() == !command.option("contains")) {
      throw ScriptError(number, "expect-debug: takes either a text or contains=, not both");
    }
    if (command.name == "key" && command.args.size() > 2 && command.args[2].text != "ctrl" &&
        command.args[2].text != "shift" && command.args[2].text != "ctrl+shift") {
      throw ScriptError(number, "key: the keys held are ctrl, shift or ctrl+shift");
    }
    if (command.name == "double-click" && command.option("row") && command.option("at")) {
      throw ScriptError(number, "double-click: takes row= or at=, not both");
    }
    script.commands.push_back(std::move(command));
  }
  return script;
}

std::optional<unsigned> virtualKeyCode(std::string_view name) {
  static const std::map<std::string, unsigned, std::less<>> named = {
      {"Backspace", 0x08}, {"Tab", 0x09},    {"Enter", 0x0D},    {"Escape", 0x1B},
      {"Space", 0x20},     {"PageUp", 0x21}, {"PageDown", 0x22}, {"End", 0x23},
      {"Home", 0x24},      {"Left", 0x25},   {"Up", 0x26},       {"Right", 0x27},
      {"Down", 0x28},      {"Insert", 0x2D}, {"Delete", 0x2E},   {"Plus", 0xBB},
      {"Minus", 0xBD},     {"Add", 0x6B},    {"Subtract", 0x6D},
  };
  if (auto it = named.find(name); it != named.end()) return it->second;
  if (name.size() >= 2 && name[0] == 'F') {
    auto n = parseNumber(name.substr(1));
    if (n && *n >= 1 && *n <= 24) return static_cast<unsigned>(0x70 + *n - 1);
  }
  if (name.size() == 1 &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
    return static_cast<unsigned>(name[0]);
  }
  return std::nullopt;
}

}  // namespace risview::host
