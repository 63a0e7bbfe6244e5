// How a tool in the host's process reads a report page's components, windowed or drawn by
// their sheet, by the system's names: it sends the page window the registered message
// kComponentQueryMessage with a ComponentQuery; the page answers TRUE when it has the
// component. The answer's texts point into the page and stay valid while it lives.
#pragma once

#include <windows.h>

namespace risview::ui {

inline constexpr wchar_t kComponentQueryMessage[] = L"RisviewComponentQuery";

struct ComponentQuery {
  // Asked: a component by name (UTF-8), or with no name the one at `index` in creation order.
  const char* name = nullptr;
  int index = 0;
  BOOL needWindow = FALSE;  // the page creates its windows first, if it has not yet
  // Answered.
  const char* answeredName = nullptr;
  const char* className = nullptr;  // "TLabel", "TShape", "TImage", "TEdit", ...
  const char* text = nullptr;       // the caption, UTF-8
  HWND window = nullptr;            // the component's own window, if it has one
  RECT rect{};                      // on the screen
  BOOL visible = FALSE, enabled = FALSE;
  // A picture component showing a file; drawn on the screen from its decoded pixels at its
  // current size; and how many of the page's pictures are still being decoded.
  BOOL hasPicture = FALSE;
  BOOL pictureDrawn = FALSE;
  int picturesWaiting = 0;
};

}  // namespace risview::ui
