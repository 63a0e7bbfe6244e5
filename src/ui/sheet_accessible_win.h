// A sheet as Active Accessibility sees it: the IAccessible a sheet window answers
// WM_GETOBJECT with, whose children are the sheet's drawn components (labels as static text,
// pictures as graphics) and its edits and rich-text boxes (the system's own objects of their
// windows), in creation order, each where it stands on the screen at the page's zoom and
// scroll position. Screen readers and magnifiers that follow text reach it directly or through
// UI Automation's proxy.
#pragma once

#include <windows.h>
// after windows.h
#include <oleacc.h>

#include <string>
#include <vector>

#include "model/sheet_reading.h"
#include "model/zoom.h"

namespace risview::ui {

// What the accessible object reads of the sheet; the page window that owns the sheet.
class SheetSource {
 public:
  virtual ~SheetSource() = default;
  virtual const model::PageModel& sheetModel() const = 0;
  virtual model::Scale sheetScale() const = 0;
  // The window of a windowed component, or null.
  virtual HWND componentWindow(const std::string& name) const = 0;
};

// The object is reference counted by its clients, who may hold it after the page is gone:
// then `disconnect` leaves every call answering that the object is no longer there.
class SheetAccessible;
SheetAccessible* makeSheetAccessible(const SheetSource& source, HWND sheetWindow,
                                     const model::Component& sheet);
void disconnect(SheetAccessible* object);
void release(SheetAccessible* object);
// Objects that a client still holds (none once every page has gone and its readers let go).
long liveSheetAccessibles();
// The answer to WM_GETOBJECT for OBJID_CLIENT.
LRESULT answerGetObject(SheetAccessible* object, WPARAM wParam);
// The child id a client knows a component by (1 the first), or 0 when the sheet does not
// expose it.
long childIdOf(const model::PageModel& model, const model::Component& sheet,
               const model::Component& c);

}  // namespace risview::ui
