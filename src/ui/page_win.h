// A report page realised as real windows: a borderless child window holding the scroll box,
// the white sheets and every control of the page model, where the model puts them. The
// window decides nothing about the layout; it only draws what the model says and passes
// the sheet's mouse events back to the page.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pages/prnt_page.h"
#include "platform/win32.h"
#include "ui/window_win.h"

namespace risview::ui {

class PictureImage;

// Text metrics measured with GDI on the screen's fonts, as the page windows draw them.
class GdiTextMetrics : public TextMetrics {
 public:
  GdiTextMetrics();
  ~GdiTextMetrics() override;
  int textWidth(const Font& font, std::string_view text) const override;
  int lineHeight(const Font& font) const override;
  int lineCount(const Font& font, std::string_view text, int width) const override;

 private:
  HFONT select(const Font& font) const;
  HDC dc_;
  mutable std::vector<std::pair<Font, win::unique_font>> fonts_;
};

class PageWindow {
 public:
  // Creates the page's windows as a hidden child of parent, named for tools that look
  // controls up by name. The page window owns the page.
  PageWindow(std::unique_ptr<pages::TPrntPage> page, HWND parent, const std::string& name);
  ~PageWindow();
  PageWindow(const PageWindow&) = delete;
  PageWindow& operator=(const PageWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  pages::TPrntPage& page() { return *page_; }
  HWND control(const std::string& name) const;

  // Fills the given rectangle of the parent's client area.
  void setBounds(const RECT& r);
  // Shows the page and puts it on top of its sibling pages.
  void bringToFront();

  // The scroll box's vertical position, and setting it within its range.
  int scrollPosition() const;
  void scrollTo(int position);

 private:
  struct Control;
  // The window procedures' bodies, each registered under guardedWindowProc.
  static LRESULT pageMessage(HWND, UINT, WPARAM, LPARAM);
  static LRESULT scrollBoxMessage(HWND, UINT, WPARAM, LPARAM);
  static LRESULT sheetMessage(HWND, UINT, WPARAM, LPARAM);
  static LRESULT shapeMessage(HWND, UINT, WPARAM, LPARAM);
  static LRESULT imageMessage(HWND, UINT, WPARAM, LPARAM);
  void createControls();
  HFONT font(const Font& f);
  HBRUSH brush(COLORREF color);
  Control* controlOf(HWND h);
  // The colour of the sheet a control stands on.
  COLORREF sheetColor(const Component& c) const;
  LRESULT colorStatic(HDC dc, HWND control);
  void updateScrollBars();
  void scrollBy(int dx, int dy);
  // Turns the wheel by delta (WHEEL_DELTA a notch, positive away from the user) on a bar.
  void wheel(int bar, int delta);
  void onScroll(int bar, WPARAM wParam);

  std::unique_ptr<pages::TPrntPage> page_;
  HWND hwnd_ = nullptr;
  HWND scrollBox_ = nullptr;
  std::map<HWND, std::unique_ptr<Control>> controls_;
  std::map<std::string, HWND> byName_;
  ComponentNames names_;
  std::vector<std::pair<Font, win::unique_font>> fonts_;
  std::map<COLORREF, win::unique_brush> brushes_;
  HCURSOR sheetCursor_ = nullptr;  // owned: loaded from the sheet cursor file
  int scrollX_ = 0, scrollY_ = 0;
};

}  // namespace risview::ui
