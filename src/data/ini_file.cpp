#include "data/ini_file.h"

#include <algorithm>

#include "platform/text.h"

namespace risview::data {

namespace {

// The profile functions count blanks, tabs and line breaks as white space.
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view trimSpace(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string decode(std::string_view bytes) {
  // Through UTF-16 and back, so that broken sequences become U+FFFD as in the other encodings.
  if (bytes.starts_with("\xEF\xBB\xBF")) return utf16ToUtf8(utf8ToUtf16(bytes.substr(3)));
  if (bytes.starts_with("\xFF\xFE")) {
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return utf16ToUtf8(units);
  }
  return cp936ToUtf8(bytes);
}

// How many bytes one character (a whole UTF-8 sequence) takes in code page 936: two for
// most, but one for ASCII, for the euro sign (0x80) and for the "?" that stands in for a
// character the code page lacks.
size_t cp936Length(std::string_view character) {
  if (static_cast<unsigned char>(character.front()) < 0x80) return 1;
  return utf8ToCp936(character).size();
}

}  // namespace

IniFile IniFile::parse(std::string_view bytes) {
  IniFile ini;
  std::string text = decode(bytes);
  // Keys before the first header belong to a nameless section nobody asks for. Blanks
  // inside the brackets of a header do not count, as in the lookup.
  ini.sections_.push_back({});
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t nl = rest.find('\n');
    std::string_view line = rest.substr(0, nl);
    rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    line = trimSpace(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        ini.sections_.push_back({std::string(trimSpace(line.substr(1, close - 1))), {}});
        continue;
      }
      // A header without "]" is read as a key line, as the profile functions do.
    }
    Entry e;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      e.key = std::string(line);
    } else {
      e.key = std::string(trimSpace(line.substr(0, eq)));
      e.value = std::string(trimSpace(line.substr(eq + 1)));
      e.hasValue = true;
    }
    ini.sections_.back().entries.push_back(std::move(e));
  }
  return ini;
}

const IniFile::Entry* IniFile::lookup(std::string_view section, std::string_view key) const {
  section = trimSpace(section);
  key = trimSpace(key);
  // Only the first section of a name is searched, and its first key of a name wins.
  for (size_t s = 1; s < sections_.size(); ++s) {
    if (!equalsNoCase(sections_[s].name, section)) continue;
    for (const auto& e : sections_[s].entries) {
      if (equalsNoCase(e.key, key)) return &e;
    }
    return nullptr;
  }
  return nullptr;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const {
  return lookup(section, key) != nullptr;
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
  const Entry* e = lookup(section, key);
  if (e == nullptr) return std::nullopt;
  std::string_view v = e->value;
  // One pair of matching quotes around the whole value is removed.
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

std::string IniFile::read(std::string_view section, std::string_view key) const {
  constexpr size_t kMaxBytes = 2047;
  std::string value = find(section, key).value_or(std::string());
  // No character takes more bytes in code page 936 than in UTF-8.
  if (value.size() <= kMaxBytes) return value;
  size_t bytes = 0;
  for (size_t i = 0; i < value.size();) {
    auto lead = static_cast<unsigned char>(value[i]);
    size_t step = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    step = std::min(step, value.size() - i);
    bytes += cp936Length(std::string_view(value).substr(i, step));
    if (bytes > kMaxBytes) {
      value.resize(i);
      break;
    }
    i += step;
  }
  return value;
}

}  // namespace risview::data
