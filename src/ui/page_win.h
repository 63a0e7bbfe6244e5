// A report page realised as windows: a borderless child window holding the scroll box, the
// white sheets and their edits and rich-text boxes, where the model puts them; the sheets
// draw their labels, shapes and pictures themselves. The window decides nothing about the
// layout; it only draws what the model says, at its zoom, and passes the sheet's mouse
// events back to the page.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pages/prnt_page.h"
#include "platform/win32.h"
#include "ui/picture_decoding_win.h"
#include "ui/sheet_accessible_win.h"
#include "ui/sheet_paint_win.h"
#include "ui/window_win.h"

namespace risview::ui {

// Text metrics measured with GDI on the screen's fonts, as the page windows draw them.
class GdiTextMetrics : public model::TextMetrics {
 public:
  GdiTextMetrics();
  ~GdiTextMetrics() override;
  int textWidth(const model::Font& font, std::string_view text) const override;
  int lineHeight(const model::Font& font) const override;
  int lineCount(const model::Font& font, std::string_view text, int width) const override;

 private:
  HFONT select(const model::Font& font) const;
  HDC dc_;
  mutable FontCache fonts_;
};

struct ComponentQuery;

class PageWindow : private SheetSource {
 public:
  // Creates the page window as a hidden child of parent, named for tools that look
  // controls up by name; its controls wait until the page first comes to the front. The
  // page window owns the page; its pictures are decoded by `decoding`, which outlives it.
  PageWindow(std::unique_ptr<pages::TPrntPage> page, HWND parent, const std::string& name,
             PictureDecoding& decoding);
  ~PageWindow() override;
  PageWindow(const PageWindow&) = delete;
  PageWindow& operator=(const PageWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  pages::TPrntPage& page() { return *page_; }
  // The window of a windowed component (scroll box, sheet, edit, rich-text box), once the
  // page is realised; null for the components its sheets draw.
  HWND control(const std::string& name) const;
  // The scroll box that holds the sheets, once the page is realised; null before.
  HWND scrollBox() const { return scrollBox_; }

  // Fills the given rectangle of the parent's client area.
  void setBounds(const RECT& r);
  // Puts the page on top of its sibling pages, shown, and creates its controls if it has
  // none yet.
  void bringToFront();
  // Cuts the page's accessible objects off from their readers. The system may answer other
  // threads' messages while it does (a reader's own calls among them), so a window that
  // replaces its pages does this first, while the pages it shows are still whole.
  void disconnectReaders();
  // The same without creating controls: a page that is built while others follow.
  void raise();
  // Creates the scroll box, the sheets and their edits and rich-text boxes, once.
  void realise();
  bool realised() const { return scrollBox_ != nullptr; }

  // The scroll box's vertical position in device pixels, and setting it within its range.
  int scrollPosition() const;
  void scrollTo(int position);

  // The zoom in percent. The point `anchor` pixels into the scroll box's client area (its
  // top-left corner without one) stays where it is.
  void setZoom(int percent, const POINT* anchor = nullptr);
  // Ctrl and the wheel on the page: direction up (+1) or down, about a point of the scroll
  // box's client area.
  std::function<void(int direction, POINT anchor)> onZoomWheel;

  // How often a picture of the page was asked for at a new size, and how many are still
  // being decoded, for the suites.
  size_t pictureDecodes() const { return pictures_->decodes(); }
  int picturesWaiting() const { return pictures_->waiting(); }

 private:
  // The page window, its scroll box and its sheets, each a WindowClass of this object's.
  LRESULT pageMessage(HWND, UINT, WPARAM, LPARAM);
  LRESULT scrollBoxMessage(HWND, UINT, WPARAM, LPARAM);
  LRESULT sheetMessage(HWND, UINT, WPARAM, LPARAM);
  // A decoded picture has come (kPictureReadyMessage).
  void pictureReady(LPARAM ticket);
  // The sheet's cursor at the pointer, and its drag (false for a message it leaves alone).
  void sheetCursor(HWND h, const model::Component& sheet);
  bool sheetDrag(HWND h, const model::Component& sheet, UINT message, LPARAM lParam);
  // The graphic component under a point of a sheet, in device pixels, or null.
  const model::Component* graphicAt(const model::Component& sheet, int x, int y) const;
  void createControls();
  // The component of one of the page's windows, or null.
  const model::Component* componentOf(HWND h) const;
  HBRUSH brush(COLORREF color);
  model::Scale scale() const { return model::Scale::percent(zoom_); }
  // Where a windowed component stands in its parent window at the current zoom.
  RECT placeOf(const model::Component& c) const;
  void applyZoom();
  void paintSheet(HWND h, const model::Component& sheet);
  LRESULT colorControl(HDC dc, HWND h);
  bool answer(ComponentQuery& query);
  void updateScrollBars();
  void scrollBy(int dx, int dy);
  // What the sheets' accessible objects read, and the events that tell their clients.
  const model::PageModel& sheetModel() const override { return page_->model(); }
  model::Scale sheetScale() const override { return scale(); }
  HWND componentWindow(const std::string& name) const override { return control(name); }
  LRESULT answerGetObject(HWND sheet, const model::Component& c, WPARAM wParam);
  void notifySheets(DWORD event) const;
  // Turns the wheel by delta (WHEEL_DELTA a notch, positive away from the user) on a bar.
  void wheel(int bar, int delta);
  void onScroll(int bar, WPARAM wParam);

  std::unique_ptr<pages::TPrntPage> page_;
  HWND hwnd_ = nullptr;
  HWND scrollBox_ = nullptr;
  std::map<HWND, const model::Component*> controls_;
  std::map<std::string, HWND> byName_;
  ComponentNames names_;
  FontCache fonts_;
  std::unique_ptr<DecodedPictures> pictures_;
  std::map<COLORREF, win::unique_brush> brushes_;
  // Made when a client first asks a sheet; disconnected when the page goes, since clients
  // may hold them longer.
  std::map<HWND, SheetAccessible*> accessibles_;
  HCURSOR sheetCursor_ = nullptr;  // owned: loaded from the sheet cursor file
  int scrollX_ = 0, scrollY_ = 0;
  int zoom_ = 100;
};

}  // namespace risview::ui
