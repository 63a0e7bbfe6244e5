// The three report page layouts; the rules they share differ by kind.
#pragma once

namespace risview::content {

enum class PageKind {
  General,          // TMyPrntPage: every department but 4 and 5
  NuclearMedicine,  // TNMPrntPage: department 5
  Endoscopy,        // TOTPrntPage: department 4
};

}  // namespace risview::content
