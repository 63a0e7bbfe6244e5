#include "preview/preview_win.h"

namespace risview::preview {

void ShowReportPreview(const Services&, data::TdmRIS&, const std::string&, HWND) {
  // The window comes with the report pages.
}

}  // namespace risview::preview
