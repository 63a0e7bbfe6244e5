// The option file and the host's ini file: any bytes parse, and every lookup agrees with
// itself: a key is there exactly when it has a value, and a read is that value cut to the
// profile functions' 2047 bytes of code page 936 at a whole character.
#include <string>
#include <vector>

#include "data/ini_file.h"
#include "fuzz/fuzz.h"
#include "platform/text.h"

namespace {

using risview::fuzz::check;

void lookUp(const risview::data::IniFile& ini, std::string_view section, std::string_view key,
            std::string_view bytes) {
  const std::optional<std::string> value = ini.find(section, key);
  check(ini.hasKey(section, key) == value.has_value(), "hasKey agrees with find", bytes);
  const std::string read = ini.read(section, key);
  check(value.value_or("").starts_with(read), "a read is the start of the value", bytes);
  check(risview::utf8ToCp936(read).size() <= 2047, "a read fits the profile buffer", bytes);
  // Every encoding decodes to whole text, and no character of it counts for more bytes in
  // code page 936 than it takes in UTF-8.
  check(risview::fuzz::isUtf8(value.value_or(std::string())), "values are whole UTF-8", bytes);
  check(risview::fuzz::isUtf8(read), "a read is cut at a whole character", bytes);
  check(!value || value->size() > 2047 || read == *value, "a short value is read whole", bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto ini = risview::data::IniFile::parse(bytes);

  static constexpr std::string_view kOptionKeys[][2] = {
      {"RISDATASET", "SERVER"},      {"RISDATASET", "DataBaseName"},
      {"RISDATASET", "USER"},        {"RISDATASET", "PASSWORD"},
      {"DICOMDATASET", "SERVER"},    {"DICOMWEBURL", "WEBURL"},
      {"Report", "Report PageFoot"}, {"report", "report emergencypagefoot"}};
  for (const auto& [section, key] : kOptionKeys) lookUp(ini, section, key, bytes);

  // Names as they stand in the file (code page 936 lines), up to a few of each.
  std::vector<std::string> sections, keys;
  const std::string text = risview::cp936ToUtf8(bytes);
  std::string_view rest = text;
  while (!rest.empty() && sections.size() + keys.size() < 16) {
    const size_t nl = rest.find('\n');
    const std::string_view line = rest.substr(0, nl);
    rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    if (line.starts_with('[')) {
      sections.emplace_back(line.substr(1, line.find(']') - 1));
    } else if (line.find('=') != std::string_view::npos) {
      keys.emplace_back(line.substr(0, line.find('=')));
    }
  }
  for (const auto& s : sections) {
    for (const auto& k : keys) lookUp(ini, s, k, bytes);
  }
  return 0;
}
