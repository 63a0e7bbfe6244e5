// A form description realised as a real window with raw Win32 controls. Each control
// carries its component name as the window property "RisviewName", so
// that tools find controls by the system's names.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/form.h"
#include "model/zoom.h"
#include "platform/services.h"
#include "platform/win32.h"
#include "ui/window_win.h"

namespace risview::ui {

class FormWindow {
 public:
  // owner: the window this one stays above; none for a window of its own. A modal run
  // disables every other window of the thread, the owner among them. The window and its
  // controls are drawn at the display scale of the services.
  FormWindow(const model::FormDesc& desc, const Services& services, HWND owner = nullptr);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  HWND control(const std::string& name) const;

  // Handlers bound by component name. A key-press handler returns true when it consumed
  // the character.
  std::function<void()> onShow;
  // After the window changed size and its aligned controls followed.
  std::function<void()> onResize;
  // After the window took another display scale (dragged onto a monitor of other DPI), in
  // percent of 96 dpi.
  std::function<void(int percent)> onScaleChange;
  // A tab control's selection changed.
  void onChange(const std::string& name, std::function<void()> handler);
  void onClick(const std::string& name, std::function<void()> handler);
  void onDblClick(const std::string& name, std::function<void()> handler);
  void onKeyPress(const std::string& name, std::function<bool(wchar_t)> handler);
  // A key pressed in the window or any of its controls, before the focused control sees it;
  // the handler returns true when it consumed the key.
  void onKeyDown(std::function<bool(WPARAM key, bool ctrl, bool shift)> handler);
  // The wheel turns whatever is under the pointer rather than the focused control: a wheel
  // left to the focus would die in a tool bar or tab control.
  void wheelFollowsPointer() { wheelFollowsPointer_ = true; }

  // The images of a tool bar's buttons; the form does not own the list.
  void setToolImages(const std::string& toolBar, HIMAGELIST images);
  // What is left of the client area below and beside the aligned controls.
  RECT freeClientArea() const;

  // Runs the show handler, shows the window and pumps messages until it is closed.
  void showModal();
  void close();

  // Runs a handler; an error escaping it is shown in the generic error box and the
  // window stays open.
  void guarded(const std::function<void()>& handler);

 private:
  // The form's window and its panels, each a WindowClass of this object's; the list views'
  // keys come through guardedSubclassProc.
  LRESULT windowMessage(HWND, UINT, WPARAM, LPARAM);
  LRESULT panelMessage(HWND, UINT, WPARAM, LPARAM);
  static LRESULT keySubclassMessage(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT keyMessage(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_COMMAND: true when a tool button, button or combo box of the form sent it.
  bool command(WPARAM wParam, LPARAM lParam);
  // WM_NOTIFY: the answer, when the form has one.
  std::optional<LRESULT> notify(LPARAM lParam);
  // Runs the handler bound to a component's name, if it has one.
  void fire(const std::map<std::string, std::function<void()>>& handlers, const std::string& name);
  void createControls();
  void createToolButton(const model::ComponentDesc& c);
  void relayout();
  // WM_DPICHANGED: the form at the new scale, in the rectangle the system suggests.
  void takeScale(int dpi, const RECT& suggested);
  HFONT font(const model::Font& f);
  bool preTranslate(const MSG& msg);
  std::string nameOf(HWND h) const;

  // The form as designed, and at the display's scale, which every size below is in.
  const model::FormDesc design_;
  model::FormDesc desc_;
  model::Scale scale_;
  Services services_;
  HWND hwnd_ = nullptr;
  std::map<std::string, HWND> controls_;
  ComponentNames names_;
  FontCache fonts_;
  win::unique_brush background_;
  std::map<std::string, std::function<void()>> clicks_, dblClicks_;
  std::map<std::string, std::function<bool(wchar_t)>> keyPresses_;
  std::map<std::string, std::function<void()>> changes_;
  std::function<bool(WPARAM, bool, bool)> keyDown_;
  bool wheelFollowsPointer_ = false;
  std::map<int, std::string> toolButtons_;  // command id -> component name
  bool closed_ = false;
  bool endedRun_ = false;  // closed while a step waited
};

}  // namespace risview::ui
