// What every window of the library shares: its window classes, the component names tools
// find its controls by, and the colours and fonts of the form descriptions as GDI values.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "ui/form.h"

namespace risview::ui {

// Registers a window class of this module once; later calls find it registered.
void registerWindowClass(const wchar_t* name, WNDPROC proc);

// Component names given to windows as the property "RisviewName" (a global atom), so that
// tools find controls by the system's names. The names go when this does.
class ComponentNames {
 public:
  ComponentNames() = default;
  ~ComponentNames();
  ComponentNames(const ComponentNames&) = delete;
  ComponentNames& operator=(const ComponentNames&) = delete;

  void name(HWND window, std::string_view name);

 private:
  std::vector<std::pair<HWND, ATOM>> named_;
};

inline COLORREF colorOf(const Color& c, COLORREF parent) {
  switch (c.system) {
    case Color::System::Rgb:
      return c.rgb;
    case Color::System::ParentColor:
      return parent;
    case Color::System::Window:
      return GetSysColor(COLOR_WINDOW);
    case Color::System::ButtonFace:
      return GetSysColor(COLOR_BTNFACE);
    case Color::System::AppWorkspace:
      return GetSysColor(COLOR_APPWORKSPACE);
    case Color::System::WindowText:
      return GetSysColor(COLOR_WINDOWTEXT);
  }
  return parent;
}

// A font of the given pixel height, in the Chinese character set so that a face the system
// lacks falls back to one that has the characters.
inline LOGFONTW logFont(const Font& f) {
  LOGFONTW lf{};
  lf.lfHeight = -f.height;
  lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  std::wstring face = win::widen(f.face);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return lf;
}

}  // namespace risview::ui
