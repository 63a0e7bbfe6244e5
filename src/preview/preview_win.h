// The report preview window, as the open action of the report list runs it.
#pragma once

#include <windows.h>

#include <string>

#include "data/data_module.h"
#include "platform/services.h"

namespace risview::preview {

// Creates the preview window TMyPrintPageControl for the request, loads its pages and runs
// it modally over owner; the window and its pages are destroyed when the run ends.
void ShowReportPreview(const Services& services, data::TdmRIS& dm, const std::string& requisitionId,
                       HWND owner);

}  // namespace risview::preview
