// The one-line foot of every report page and the emergency flag that can change it. The foot
// comes from the host program's own ini file so that each site can word it.
#pragma once

#include <string>
#include <string_view>

#include "content/page_kind.h"
#include "platform/services.h"

namespace risview::content {

// The host's ini file: its executable path with the last four characters (whatever they are)
// replaced by ".ini". D:\App\Host.exe gives D:\App\Host.ini, D:\App\Viewer gives
// D:\App\Vi.ini. A path of four characters or fewer names no host file and gives the empty
// text, which stands for "no file".
std::string HostIniFile(std::string_view executablePath);

// The report record's Emergency text: 0 is a routine report, any other number an emergency.
// Throws ConversionError for a text that is not a decimal integer, the empty one included,
// which the general and endoscopy pages treat as a failure to build the page.
bool IsEmergency(std::string_view emergency);

struct PageFoot {
  std::string text;            // caption of the foot label, empty when the site sets none
  bool emergencyMark = false;  // whether the page's "急诊" mark shows
};

// The foot of one page, read afresh from the host ini file (section "Report"), so a change
// to the file shows on the next page built. A missing file or key gives an empty foot.
//   General: "Report PageFoot", or "Report EmergencyPageFoot" on an emergency report; the
//     emergency mark never shows (the report date carries the emergency instead).
//   Nuclear medicine: "Report PageFoot"; emergency is not read and the page has no mark.
//   Endoscopy: "Report PageFoot"; the mark shows on an emergency report.
// Throws ConversionError for an emergency text that IsEmergency rejects, on the general and
// endoscopy pages.
PageFoot LoadPageFoot(PageKind kind, const Environment& env, std::string_view emergency);

}  // namespace risview::content
