// Windows initialisation files, read the way the platform's private-profile
// functions read them: names match without regard to case, blanks around names and
// values are dropped, one pair of matching quotes around a value is removed, and a
// line starting with ";" is a comment (an inline ";" belongs to the value).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace risview::data {

class IniFile {
 public:
  // Parses file bytes. Without a byte-order mark the text is code page 936; a UTF-8 or
  // UTF-16LE mark selects that encoding.
  static IniFile parse(std::string_view bytes);
  static IniFile empty() { return IniFile(); }

  // The value decoded to UTF-8, or nullopt when the section or key is missing.
  std::optional<std::string> find(std::string_view section, std::string_view key) const;
  // As the profile functions with an empty default: at most 2047 bytes of the value as
  // code page 936 counts them, cut at a whole character.
  std::string read(std::string_view section, std::string_view key) const;
  bool hasKey(std::string_view section, std::string_view key) const;

 private:
  struct Entry {
    std::string key;
    std::string value;  // decoded, quotes not yet removed
    bool hasValue = false;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  const Entry* lookup(std::string_view section, std::string_view key) const;
  std::vector<Section> sections_;
};

}  // namespace risview::data
