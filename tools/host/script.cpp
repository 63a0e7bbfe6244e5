#include "host/script.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace risview::host {

namespace {

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

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

struct Token {
  std::string key;  // empty unless the token was key=value
  Arg value;
};

// Reads one line's tokens. A quoted text keeps its blanks; `\"`, `\\`, `\n`, `\t`, `\e`
// (Escape) and `\u{hex}` stand for single characters inside it.
class Tokenizer {
 public:
  Tokenizer(std::string_view line, int number) : line_(line), number_(number) {}

  std::vector<Token> tokens() {
    std::vector<Token> out;
    while (i_ < line_.size()) {
      if (isBlank(line_[i_])) {
        ++i_;
        continue;
      }
      if (line_[i_] == '#') break;
      out.push_back(token());
    }
    return out;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const { throw ScriptError(number_, what); }

  bool at(char c) const { return i_ < line_.size() && line_[i_] == c; }

  // Up to a blank or a quote, and to an equals sign when `untilEquals`.
  std::string word(bool untilEquals) {
    const size_t start = i_;
    while (i_ < line_.size() && !isBlank(line_[i_]) && line_[i_] != '"' &&
           !(untilEquals && line_[i_] == '=')) {
      ++i_;
    }
    return std::string(line_.substr(start, i_ - start));
  }

  Token token() {
    Token t;
    std::string text = word(true);
    if (at('=')) {
      if (text.empty()) fail("\"=\" without an option name");
      t.key = text;
      ++i_;
      text = word(false);
    }
    if (!at('"')) {
      t.value.text = text;
      return t;
    }
    if (!text.empty()) fail("a quote inside the word \"" + text + "\"");
    ++i_;
    t.value.quoted = true;
    t.value.text = quoted();
    if (i_ < line_.size() && !isBlank(line_[i_])) fail("text right after a closing quote");
    return t;
  }

  // The text after an opening quote, up to and past its closing one.
  std::string quoted() {
    std::string text;
    while (i_ < line_.size()) {
      const char c = line_[i_++];
      if (c == '"') return text;
      if (c != '\\') {
        text += c;
      } else if (i_ < line_.size()) {
        escape(text);
      }
    }
    fail("a quoted text is not closed");
  }

  void escape(std::string& text) {
    const char e = line_[i_++];
    switch (e) {
      case '"':
      case '\\':
        text += e;
        return;
      case 'n':
        text += '\n';
        return;
      case 't':
        text += '\t';
        return;
      case 'e':
        text += '\x1b';
        return;
      case 'u':
        return codePoint(text);
      default:
        fail(std::string("unknown escape \\") + e);
    }
  }

  // `\u{hex}`, past the u.
  void codePoint(std::string& text) {
    const size_t close = line_.find('}', i_);
    if (!at('{') || close == std::string_view::npos) {
      fail("\\u needs a code in braces, as in \\u{7B}");
    }
    unsigned long cp = 0;
    const std::string_view hex = line_.substr(i_ + 1, close - i_ - 1);
    auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), cp, 16);
    if (ec != std::errc() || end != hex.data() + hex.size() || hex.empty() || cp > 0x10FFFF) {
      fail("bad character code \\u{" + std::string(hex) + "}");
    }
    appendUtf8(text, static_cast<char32_t>(cp));
    i_ = close + 1;
  }

  std::string_view line_;
  int number_;
  size_t i_ = 0;
};

bool accepts(Kind kind, const Arg& arg) {
  const std::string& t = arg.text;
  switch (kind) {
    case Kind::Text:
    case Kind::TextOrNull:
      return true;
    case Kind::Count: {
      const auto n = parseNumber(t);
      return !arg.quoted && n && *n >= 0;
    }
    case Kind::Number:
      return !arg.quoted && parseNumber(t);
    case Kind::RowOrNone: {
      const auto n = parseNumber(t);
      return !arg.quoted && (t == "none" || (n && *n >= 0));
    }
    case Kind::YesNo:
      return t == "yes" || t == "no";
    case Kind::KeyName:
      return virtualKeyCode(t).has_value();
    case Kind::Section:
      return t == "none" || t == "ris" || t == "dicom" || t == "web";
    case Kind::ProcessState:
      return t == "running" || t == "ended";
    case Kind::Point: {
      const size_t comma = t.find(',');
      return comma != std::string::npos && parseNumber(t.substr(0, comma)) &&
             parseNumber(t.substr(comma + 1));
    }
    case Kind::CloseVia:
      return t == "close-box" || t == "message";
    case Kind::Button: {
      static const std::set<std::string> buttons = {
          "ok", "cancel", "abort", "retry", "ignore", "yes", "no", "tryagain", "continue"};
      return buttons.count(t) > 0;
    }
  }
  return false;
}

// What a value of the kind is, for the message about one that is not.
const char* expectation(Kind kind) {
  switch (kind) {
    case Kind::Count:
    case Kind::Number:
      return "a whole number";
    case Kind::RowOrNone:
      return "a row or none";
    case Kind::YesNo:
      return "yes or no";
    case Kind::KeyName:
      return "a key name such as Escape or F12";
    case Kind::Section:
      return "none, ris, dicom or web";
    case Kind::ProcessState:
      return "running or ended";
    case Kind::Point:
      return "X,Y";
    case Kind::CloseVia:
      return "close-box or message";
    case Kind::Button:
      return "a button such as ok, cancel, yes or no";
    case Kind::Text:
    case Kind::TextOrNull:
      break;
  }
  return "a text";
}

// One line's command, checked against its row of the table.
class LineChecker {
 public:
  LineChecker(Command& command, int number) : c_(command), number_(number), info_(*command.info) {}

  void option(const Token& t) {
    const OptionParam* param = nullptr;
    for (const OptionParam& o : info_.options) {
      if (o.name == t.key) param = &o;
    }
    if (!param) fail("unknown option \"" + t.key + "\"");
    if (c_.options.count(t.key)) fail("option \"" + t.key + "\" given twice");
    // An option's value is judged on its text alone, quoted or not.
    if (!accepts(param->kind, Arg{t.value.text, false})) {
      fail(t.key + "=needs " + expectation(param->kind) + ", not \"" + t.value.text + "\"");
    }
    c_.options[t.key] = t.value.text;
  }

  // As many arguments as the command takes.
  void count() const {
    const auto& params = info_.params;
    const size_t required =
        static_cast<size_t>(std::count_if(params.begin(), params.end(), [](const Param& p) {
          return p.times == Times::Once || p.times == Times::OneOrMore;
        }));
    const bool rest = !params.empty() && (params.back().times == Times::OneOrMore ||
                                          params.back().times == Times::AnyNumber);
    const size_t given = c_.args.size();
    if (given >= required && (rest || given <= params.size())) return;
    std::string count = std::to_string(required);
    if (rest) {
      count = "at least " + count;
    } else if (params.size() != required) {
      count += " to " + std::to_string(params.size());
    }
    const bool one = rest ? required == 1 : params.size() == 1;
    fail("takes " + count + " argument" + (one ? "" : "s") + ", not " + std::to_string(given));
  }

  // Each argument of its kind; the last kind goes on for a command whose last argument repeats.
  void kinds() const {
    const auto& params = info_.params;
    for (size_t k = 0; k < c_.args.size(); ++k) {
      const Kind kind = params[std::min(k, params.size() - 1)].kind;
      if (!accepts(kind, c_.args[k])) {
        fail("expected " + std::string(expectation(kind)) + ", not \"" + c_.args[k].text + "\"");
      }
    }
  }

  void rule() const {
    if (!info_.rule) return;
    if (const char* broken = info_.rule(c_)) fail(broken);
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw ScriptError(number_, c_.name + ": " + what);
  }

  Command& c_;
  int number_;
  const CommandInfo& info_;
};

// The command of one line's tokens.
Command readCommand(std::vector<Token>& tokens, std::string_view line, int number) {
  if (!tokens[0].key.empty() || tokens[0].value.quoted) {
    throw ScriptError(number, "a line starts with a command name");
  }
  Command command;
  command.line = number;
  command.name = tokens[0].value.text;
  command.source = std::string(line);
  while (!command.source.empty() && command.source.back() == '\r') command.source.pop_back();
  command.info = findCommand(command.name);
  if (!command.info) throw ScriptError(number, "unknown command \"" + command.name + "\"");
  LineChecker checker(command, number);
  for (size_t k = 1; k < tokens.size(); ++k) {
    if (tokens[k].key.empty()) {
      command.args.push_back(std::move(tokens[k].value));
    } else {
      checker.option(tokens[k]);
    }
  }
  checker.count();
  checker.kinds();
  checker.rule();
  return command;
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

std::vector<SetupLine> Script::setup() const {
  std::vector<SetupLine> out;
  for (const Command& c : commands) {
    if (c.info->actor == Actor::Runner) c.info->setup(c, out);
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
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    std::vector<Token> tokens = Tokenizer(line, number).tokens();
    if (!tokens.empty()) script.commands.push_back(readCommand(tokens, line, number));
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
