#include "content/page_foot.h"

#include "data/ini_file.h"
#include "platform/text.h"

namespace risview::content {
namespace {

constexpr std::string_view kSection = "Report";
constexpr std::string_view kFootKey = "Report PageFoot";
constexpr std::string_view kEmergencyFootKey = "Report EmergencyPageFoot";

bool isUtf8Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

data::IniFile readHostIni(const Environment& env) {
  const std::string path = HostIniFile(env.executablePath());
  if (path.empty()) return data::IniFile::empty();
  const auto bytes = env.readFile(path);
  return bytes ? data::IniFile::parse(*bytes) : data::IniFile::empty();
}

}  // namespace

std::string HostIniFile(std::string_view executablePath) {
  // Characters, not bytes: a host name without an extension may end in Chinese, and cutting
  // bytes would leave half a character in the path.
  size_t end = executablePath.size();
  for (int cut = 0; cut < 4; ++cut) {
    if (end == 0) return {};
    do {
      --end;
    } while (end > 0 && isUtf8Continuation(executablePath[end]));
  }
  if (end == 0) return {};
  return std::string(executablePath.substr(0, end)) + ".ini";
}

bool IsEmergency(std::string_view emergency) {
  return toInt(emergency) != 0;
}

PageFoot LoadPageFoot(PageKind kind, const Environment& env, std::string_view emergency) {
  // Converted before the file is read: a bad flag fails the page whatever the file holds.
  const bool urgent = kind != PageKind::NuclearMedicine && IsEmergency(emergency);
  const data::IniFile ini = readHostIni(env);
  PageFoot foot;
  switch (kind) {
    case PageKind::General:
      foot.text = ini.read(kSection, urgent ? kEmergencyFootKey : kFootKey);
      break;
    case PageKind::NuclearMedicine:
      foot.text = ini.read(kSection, kFootKey);
      break;
    case PageKind::Endoscopy:
      foot.text = ini.read(kSection, kFootKey);
      foot.emergencyMark = urgent;
      break;
  }
  return foot;
}

}  // namespace risview::content
