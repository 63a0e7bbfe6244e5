// What every window of the library shares: its window classes, the component names tools
// find its controls by, and the colours and fonts of the form descriptions as GDI values.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cwchar>
#include <exception>
#include <string_view>
#include <utility>
#include <vector>

#include "model/form.h"
#include "model/zoom.h"
#include "platform/win32.h"

namespace risview::ui {

// The window class of a page's scroll box, as tools look it up.
inline constexpr wchar_t kScrollBoxClass[] = L"TScrollBox";

// How a component of each kind is realised, for forms and pages alike: the class its
// designer's toolkit gives it (what tools are told), and the window class and styles of its
// window; no window class for the kinds a sheet draws or a tool bar holds. A panel's window
// class is its window's choice (a form's panels, a page's sheets).
struct Realisation {
  const char* toolkitClass = "TControl";
  const wchar_t* windowClass = nullptr;
  DWORD style = 0, exStyle = 0;
};
Realisation realisationOf(const model::ComponentDesc& c, const wchar_t* panelClass);

// Registers a window class of this module once; later calls find it registered.
void registerWindowClass(const wchar_t* name, WNDPROC proc);
// Loads the rich edit library the first time a page needs it.
void loadRichEdit();
// Unregisters every class registered above and frees the rich edit library, once no window
// of the library is left: a host that loads and frees the library per call keeps nothing.
// What a rich edit copied during the call (the clipboard has changed since
// `clipboardSequenceAtStart`) is rendered onto the clipboard first, so that it stays
// pasteable and no data object on the clipboard points into the freed library.
// False when a class is left, because a window of it still exists.
bool releaseWindowResources(DWORD clipboardSequenceAtStart);

// How a report text shows what a revision changed: inserted text underlined in blue, removed
// text struck through in red.
inline constexpr COLORREF kInsertedColor = RGB(0, 80, 200);
inline constexpr COLORREF kRemovedColor = RGB(200, 0, 0);

// An edit or rich-text box with characters selected.
bool hasTextSelection(HWND window);
// Puts a text on the clipboard as Unicode text, its line ends as CR LF; false when the
// clipboard cannot be had.
bool putTextOnClipboard(HWND owner, std::string_view utf8);

// What a window procedure does when its body throws: the error goes to the debugger and the
// message to the default procedure. No exception may cross the system's frames into the
// host (the 32-bit toolchain's unwinder cannot pass them, and the host would end).
void reportEscapedError(const char* where, const char* what) noexcept;

template <typename Body, typename Fallback>
LRESULT guardedProc(const char* where, Body&& body, Fallback&& fallback) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    reportEscapedError(where, e.what());
  } catch (...) {
    reportEscapedError(where, "unknown error");
  }
  try {
    return fallback();
  } catch (...) {
    return 0;
  }
}

// Runs a window procedure's body under guardedProc, with DefWindowProcW as the fallback.
template <typename Body>
LRESULT guardedProc(const char* where, HWND h, UINT message, WPARAM wParam, LPARAM lParam,
                    Body&& body) noexcept {
  return guardedProc(where, std::forward<Body>(body),
                     [&] { return DefWindowProcW(h, message, wParam, lParam); });
}

// The object bound to a window as below, or null.
template <typename Object>
Object* boundObject(HWND h) {
  return reinterpret_cast<Object*>(GetWindowLongPtrW(h, GWLP_USERDATA));
}
// Cuts a window off from its object: what it is sent from then on goes to DefWindowProcW.
inline void unbindWindow(HWND h) {
  SetWindowLongPtrW(h, GWLP_USERDATA, 0);
}

// Every window class of the library's own (forms, their panels, pages, scroll boxes, sheets)
// is registered through this. A window of it is created with the object that answers it as
// the creation parameter (CreateWindowExW's last argument): the object is bound to the window
// at WM_NCCREATE, the first message that carries it, and unbound at WM_NCDESTROY, the last;
// between, each message goes to the object's handler under guardedProc. What comes before the
// binding (WM_GETMINMAXINFO) or after the unbinding goes to DefWindowProcW. One object may
// answer windows of several classes, each with its own handler. The system's classes (edits,
// list views, rich edits) are subclassed with guardedSubclassProc instead.
template <typename Object, LRESULT (Object::*Handler)(HWND, UINT, WPARAM, LPARAM)>
class WindowClass {
 public:
  static void registerAs(const wchar_t* name) { registerWindowClass(name, &procedure); }

 private:
  static LRESULT CALLBACK procedure(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("a window procedure", h, message, wParam, lParam, [&] {
      if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      }
      Object* object = boundObject<Object>(h);
      if (object == nullptr) return DefWindowProcW(h, message, wParam, lParam);
      if (message == WM_NCDESTROY) unbindWindow(h);
      return (object->*Handler)(h, message, wParam, lParam);
    });
  }
};

// A subclass procedure made of a body that may throw, run under guardedProc; its fallback is
// the next procedure of the chain. What a control of the system's classes is subclassed with.
template <LRESULT (*Body)(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR)>
LRESULT CALLBACK guardedSubclassProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data) {
  return guardedProc(
      "a subclass procedure", [&] { return Body(h, message, wParam, lParam, id, data); },
      [&] { return DefSubclassProc(h, message, wParam, lParam); });
}

// Component names given to windows as the property "RisviewName", so that tools find
// controls by the system's names. The property points to the name, as UTF-16, in a table of
// this library that lives as long as the library: nothing is left in the session's global
// atom table when a host ends without cleaning up. The properties go when this does.
class ComponentNames {
 public:
  ComponentNames() = default;
  ~ComponentNames();
  ComponentNames(const ComponentNames&) = delete;
  ComponentNames& operator=(const ComponentNames&) = delete;

  void name(HWND window, std::string_view name);
  // Removes every property given so far; call before the windows are destroyed.
  void clear() noexcept;

 private:
  std::vector<HWND> named_;
};

// The name a window was given above, or null.
const wchar_t* componentNameOf(HWND window);

// A rectangle of the model as the platform's.
inline RECT toRect(const model::Rect& r) {
  return {r.left, r.top, r.right(), r.bottom()};
}

using win::fillRect;

inline COLORREF colorOf(const model::Color& c, COLORREF parent) {
  switch (c.system) {
    case model::Color::System::Rgb:
      return c.rgb;
    case model::Color::System::ParentColor:
      return parent;
    case model::Color::System::Window:
      return GetSysColor(COLOR_WINDOW);
    case model::Color::System::ButtonFace:
      return GetSysColor(COLOR_BTNFACE);
    case model::Color::System::AppWorkspace:
      return GetSysColor(COLOR_APPWORKSPACE);
    case model::Color::System::WindowText:
      return GetSysColor(COLOR_WINDOWTEXT);
  }
  return parent;
}

// A font of the given pixel height, in the Chinese character set so that a face the system
// lacks falls back to one that has the characters.
inline LOGFONTW logFont(const model::Font& f) {
  LOGFONTW lf{};
  lf.lfHeight = -f.height;
  lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  std::wstring face = win::widen(f.face);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return lf;
}

// The fonts of one window or page: one GDI font per distinct font and device height, made
// when first asked for and kept while the cache lives.
class FontCache {
 public:
  HFONT get(const model::Font& font, model::Scale scale = {});

 private:
  struct Entry {
    model::Font font;
    int height;
    win::unique_font handle;
  };
  std::vector<Entry> fonts_;
};

}  // namespace risview::ui
