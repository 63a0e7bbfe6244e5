// What the scenario driver may learn about the library's windows, asked only through
// window messages and Win32 queries. The windows belong to the host's calling thread;
// every message to them goes through SendMessageTimeoutW, so a busy thread makes a
// query fail instead of hanging the driver.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace risview::host {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// Thrown when the window's thread does not answer within the time limit.
class UiTimeout : public std::exception {
 public:
  const char* what() const noexcept override { return "the window did not answer in time"; }
};

// SendMessageTimeoutW with the driver's answer limit.
LRESULT ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

std::string className(HWND hwnd);
std::string windowText(HWND hwnd);
// The component name the library stores in the window property "RisviewName"; empty if none.
std::string componentName(HWND hwnd);

// Visible and hidden top-level windows of this process, in z-order.
std::vector<HWND> processWindows();
bool isMessageBox(HWND hwnd);

// Descendants of a window, depth first.
std::vector<HWND> descendants(HWND window);
// A component of the library by its system name: a window, or a label, shape or picture
// that a report page draws itself, as the page describes it (a registered message the pages
// answer).
struct Component {
  HWND window = nullptr;  // null for a drawn one
  std::string name, className, text;
  RECT screen{};
  bool visible = false, enabled = false;
  bool hasPicture = false;    // a picture component showing a file
  bool pictureDrawn = false;  // ... drawn on the screen from its decoded pixels
};
// "Page3/Paper": the Paper inside the component named Page3. needWindow: a page that has not
// made its windows yet makes them first (to be clicked, typed into, scrolled).
std::optional<Component> findComponent(HWND window, std::string_view name, bool needWindow);
// The descendant window carrying the component name, or nullptr.
HWND findControl(HWND window, std::string_view name);
// The components the report pages among the window's descendants draw themselves.
std::vector<Component> drawnComponents(HWND window);
// The components a report page window draws itself; one of them by name.
std::vector<Component> pageComponents(HWND page);
std::optional<Component> pageComponent(HWND page, const std::string& name);
// Pictures of the report pages in the window (or the window itself) still being decoded.
int picturesWaiting(HWND window);

// A rectangle relative to the client area of `window`.
struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};
Rect rectInClient(HWND control, HWND window);

// A standard message box as the user sees it. `style` rebuilds the MessageBox flags from
// what is on screen: the button set, the icon and the default button.
struct BoxInfo {
  std::string caption, text;
  std::string icon;     // "none", "error", "question", "warning", "information" or "other"
  std::string buttons;  // "ok", "okcancel", "yesno", ... as the MB_ constants name them
  unsigned style = 0;
  std::vector<std::pair<int, HWND>> buttonIds;  // command id and button, left to right
};
BoxInfo readMessageBox(HWND box);
// The command id of a button name of the `press` option ("ok" IDOK, "no" IDNO, ...).
int buttonId(std::string_view name);

// List view contents.
struct ListColumn {
  std::string text;
  int width = 0;
};
std::vector<ListColumn> listColumns(HWND list);
int listRowCount(HWND list);
// The item text and one text per further column.
std::vector<std::string> listRow(HWND list, int row, int columns);
std::vector<int> listSelection(HWND list);
// The item's rectangle in the list view's client coordinates.
RECT listItemRect(HWND list, int row);
int listHeaderHeight(HWND list);

// Tab control contents.
std::vector<std::string> tabTexts(HWND tabs);
int tabSelection(HWND tabs);

// The window's pixels, frame included, as 8-bit RGB rows top to bottom.
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};
Picture captureWindow(HWND window);

}  // namespace risview::host
