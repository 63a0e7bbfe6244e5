// Report sheets on paper: the system print dialog, then every sheet of the chosen pages as
// one sheet of paper at the printer's resolution, drawn by the routine that draws the
// screen's sheets. Printing reads the page models only; nothing is stored anywhere.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "model/page_model.h"
#include "platform/win32.h"

namespace risview::ui {

// The printer chosen in the system print dialog over owner (which the dialog needs), or
// null when the user cancelled it. Throws when the dialog cannot be shown.
win::unique_dc choosePrinter(HWND owner);

// Prints, as one document called title, every shown sheet of each page in order (the first
// sheet, then the continuation sheets), each on a sheet of paper of its own with its top-left
// corner at the paper's and its design pixels at 96 to the inch. Returns how many sheets
// went to the printer; throws when the printer refuses the document or a sheet.
int printSheets(HDC printer, const std::string& title, const std::vector<const PageModel*>& pages);

}  // namespace risview::ui
