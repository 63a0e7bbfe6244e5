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

// What the system print dialog gave: the printer, and the copies this program must make
// itself (1 when the printer's driver makes them).
struct PrinterChoice {
  win::unique_dc printer;  // null when the user cancelled the dialog
  int copies = 1;
};

// Shows the system print dialog over owner (which the dialog needs). Throws when it cannot
// be shown.
PrinterChoice choosePrinter(HWND owner);

// Prints, as one document called title, every shown sheet of each page in order (the first
// sheet, then the continuation sheets), each on a sheet of paper of its own with its top-left
// corner at the paper's and its design pixels at 96 to the inch. Returns how many sheets
// went to the printer; throws when the printer refuses the document or a sheet. With more
// than one copy the whole set is printed again after itself (collated).
int printSheets(HDC printer, const std::string& title,
                const std::vector<const model::PageModel*>& pages, int copies = 1);

}  // namespace risview::ui
