#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "forms/preview_form.h"
#include "model/sheet_reading.h"
#include "preview/preview_win.h"
#include "preview/report_loading.h"
#include "ui/form_win.h"
#include "ui/page_win.h"
#include "ui/print_win.h"

namespace risview::preview {

namespace {

// Owns an image list.
struct ImageListDeleter {
  void operator()(HIMAGELIST list) const {
    if (list) win::gdiFreed(ImageList_Destroy(list) != FALSE);
  }
};
using unique_image_list = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;

// One picture of the tool bar, drawn with the pen and brush selected in dc: print page,
// printer set-up, two-, one- and four-cell layouts, picture and text, close, print all, and a
// spare.
void drawToolImage(HDC dc, int index, HPEN red) {
  switch (index) {
    case 0:  // print this page: a printer
    case 7:  // print all pages: a printer with a stack
      Rectangle(dc, 4, 12, 28, 24);
      Rectangle(dc, 9, 4, 23, 12);
      Rectangle(dc, 9, 20, 23, 29);
      if (index == 7) Rectangle(dc, 12, 1, 26, 9);
      break;
    case 1:  // printer set-up: a printer and a gear
      Rectangle(dc, 4, 12, 24, 24);
      Ellipse(dc, 18, 18, 30, 30);
      break;
    case 2:  // two cells
      Rectangle(dc, 3, 6, 15, 26);
      Rectangle(dc, 17, 6, 29, 26);
      break;
    case 3:  // one cell
      Rectangle(dc, 6, 6, 26, 26);
      break;
    case 4:  // four cells
      Rectangle(dc, 3, 3, 15, 15);
      Rectangle(dc, 17, 3, 29, 15);
      Rectangle(dc, 3, 17, 15, 29);
      Rectangle(dc, 17, 17, 29, 29);
      break;
    case 5:  // picture and text
      Rectangle(dc, 3, 6, 15, 26);
      for (int y = 9; y < 26; y += 5) {
        MoveToEx(dc, 18, y, nullptr);
        LineTo(dc, 29, y);
      }
      break;
    case 6: {  // close: a red cross on a door
      Rectangle(dc, 5, 3, 22, 29);
      const HGDIOBJ dark = SelectObject(dc, red);
      MoveToEx(dc, 14, 10, nullptr);
      LineTo(dc, 28, 24);
      MoveToEx(dc, 28, 10, nullptr);
      LineTo(dc, 14, 24);
      SelectObject(dc, dark);
      break;
    }
    default:  // a plain sheet
      Rectangle(dc, 7, 3, 25, 29);
      break;
  }
}

// The tool bar's nine 32 x 32 pictures, drawn here on the mask colour, which shows through.
unique_image_list toolImages() {
  constexpr COLORREF kMask = RGB(255, 0, 255);
  constexpr int kCount = 9;
  unique_image_list list(win::counted(ImageList_Create(32, 32, ILC_COLOR24 | ILC_MASK, kCount, 0)));
  struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() { ReleaseDC(nullptr, dc); }
  } screen;
  const win::unique_dc dc(win::counted(CreateCompatibleDC(screen.dc)));
  const win::unique_brush mask(win::counted(CreateSolidBrush(kMask)));
  const win::unique_pen pen(win::counted(CreatePen(PS_SOLID, 2, RGB(40, 40, 40))));
  const win::unique_pen red(win::counted(CreatePen(PS_SOLID, 4, RGB(200, 30, 30))));
  for (int i = 0; i < kCount; ++i) {
    const win::unique_bitmap bitmap(win::counted(CreateCompatibleBitmap(screen.dc, 32, 32)));
    const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    const RECT all{0, 0, 32, 32};
    FillRect(dc.get(), &all, mask.get());
    const HGDIOBJ oldPen = SelectObject(dc.get(), pen.get());
    const HGDIOBJ oldBrush = SelectObject(dc.get(), GetStockObject(WHITE_BRUSH));
    drawToolImage(dc.get(), i, red.get());
    SelectObject(dc.get(), oldBrush);
    SelectObject(dc.get(), oldPen);
    SelectObject(dc.get(), old);
    // The list copies the pixels; the bitmap goes at the end of the turn.
    ImageList_AddMasked(list.get(), bitmap.get(), kMask);
  }
  return list;
}

class TMyPrintPageControl {
 public:
  TMyPrintPageControl(const Services& services, data::TdmRIS& dm, std::string requisitionId,
                      HWND owner)
      : services_(services),
        dm_(dm),
        form_(forms::previewForm(dm.PreviewPrint, dm.PreviewEditions), services, owner),
        images_(toolImages()),
        RequisitionID(std::move(requisitionId)) {
    form_.setToolImages("ToolBar1", images_.get());
    form_.onShow = [this] { FormShow(); };
    form_.onResize = [this] { placePages(); };
    // On a monitor of another scale the sheets keep their size on paper: the default zoom
    // follows the scale, and a zoom the user chose keeps its proportion to it.
    form_.onScaleChange = [this](int percent) {
      const int before = defaultZoom_;
      defaultZoom_ = model::defaultZoom(percent);
      zoomTo(model::zoomForDefault(zoom_, before, defaultZoom_));
    };
    form_.onChange("PrntTabControl", [this] { PrntTabControlChange(); });
    form_.onClick("ToolButton7", [this] { ToolButton7Click(); });
    form_.onClick("ToolButton2", [this] { ToolButton2Click(); });
    if (dm.PreviewPrint) {
      form_.onClick("ToolButton8", [this] { print(false); });
      form_.onClick("ToolButton1", [this] { print(true); });
    }
    form_.onKeyDown(
        [this](WPARAM key, bool ctrl, bool shift) { return keyDown(key, ctrl, shift); });
    form_.wheelFollowsPointer();
    load(LoadReport(RequisitionID, context()));
    if (dm.PreviewEditions) offerEditions();
  }

  void ShowModal() { form_.showModal(); }

 private:
  // What pages are built with; the metrics and pictures live as long as the context.
  struct Building {
    ui::GdiTextMetrics metrics;
    pictures::Pictures pictures;
    pages::PageContext context;
    Building(const Services& services, data::Connection& con)
        : pictures(services.env), context{services, con, metrics, pictures} {}
  };
  pages::PageContext& context() {
    if (!building_) building_ = std::make_unique<Building>(services_, dm_.con);
    return building_->context;
  }

  void load(LoadedReport report) {
    DepartmentID = report.departmentId;
    HWND tabs = form_.control("PrntTabControl");
    Waits& waits = waitsOf(services_);
    for (auto& tab : report.tabs) {
      ui::PageWindow& page = embed(std::move(tab.page));
      std::wstring caption = win::widen(tab.caption);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = caption.data();
      SendMessageW(tabs, TCM_INSERTITEMW, tabPages_.size(), reinterpret_cast<LPARAM>(&item));
      tabPages_.push_back(&page);
      // A long report's windows take a while to make: the host's thread answers between
      // pages while the window is not shown yet, so that nothing sees it half made. Closed
      // meanwhile, the window is not shown and the rest is not made.
      try {
        if (!IsWindowVisible(form_.hwnd())) waits.answer();
      } catch (const RunEnded&) {
        return;
      }
    }
    // Built and shown before loading ended, it stays in front without a tab.
    if (report.untabbed) embed(std::move(report.untabbed));
    // Only the page in front has its controls yet; each other page makes its own when its
    // tab first brings it to the front.
    if (ui::PageWindow* front = pageInFront()) front->bringToFront();
  }

  ui::PageWindow& embed(std::unique_ptr<pages::TPrntPage> page) {
    const std::string name = "Page" + std::to_string(pages_.size() + 1);
    pages_.push_back(
        std::make_unique<ui::PageWindow>(std::move(page), form_.hwnd(), name, decoding_));
    ui::PageWindow& window = *pages_.back();
    window.setBounds(form_.freeClientArea());
    window.setZoom(zoom_);
    window.onZoomWheel = [this](int direction, POINT at) {
      zoomTo(model::nextZoom(zoom_, direction), &at);
    };
    window.raise();
    return window;
  }

  void placePages() {
    const RECT area = form_.freeClientArea();
    for (auto& page : pages_) page->setBounds(area);
  }

  // The tab of the page in front is selected: after loading, the last one.
  void FormShow() {
    HWND top = GetTopWindow(form_.hwnd());
    HWND tabs = form_.control("PrntTabControl");
    for (size_t i = 0; i < tabPages_.size(); ++i) {
      if (tabPages_[i]->hwnd() == top) SendMessageW(tabs, TCM_SETCURSEL, i, 0);
    }
  }

  // The page behind the tab comes to the front as it was left; nothing is rebuilt.
  void PrntTabControlChange() {
    const LRESULT selected = SendMessageW(form_.control("PrntTabControl"), TCM_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<size_t>(selected) < tabPages_.size()) {
      tabPages_[selected]->bringToFront();
    }
  }

  void ToolButton7Click() { form_.close(); }

  // With more than one edition, the choice of edition (the first one first, the newest
  // chosen) and the box that marks what the chosen edition's revision changed.
  void offerEditions() {
    try {
      editions_ = ReadEditions(RequisitionID, dm_.con);
    } catch (const std::exception&) {
      editions_.clear();  // no choice offered: the window stays as it opened
    }
    HWND box = form_.control("EditionBox");
    if (editions_.size() < 2) {
      ShowWindow(box, SW_HIDE);
      ShowWindow(form_.control("ShowChanges"), SW_HIDE);
      return;
    }
    for (const Edition& e : editions_) {
      SendMessageW(box, CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(win::widen(editionLabel(e)).c_str()));
    }
    SendMessageW(box, CB_SETCURSEL, editions_.size() - 1, 0);
    form_.onChange("EditionBox", [this] { showEdition(); });
    form_.onClick("ShowChanges", [this] { showEdition(); });
  }

  // The chosen edition's pages in place of those shown, built as the newest are; the newest
  // through the window's own statement, so that choosing it again restores the window as it
  // opened. With "显示修改", each report text marks what changed since the edition before.
  void showEdition() {
    const LRESULT chosen = SendMessageW(form_.control("EditionBox"), CB_GETCURSEL, 0, 0);
    if (chosen < 0 || static_cast<size_t>(chosen) >= editions_.size()) return;
    const bool newest = static_cast<size_t>(chosen) == editions_.size() - 1;
    const bool changes =
        SendMessageW(form_.control("ShowChanges"), BM_GETCHECK, 0, 0) == BST_CHECKED;
    const int32_t editOrder = editions_[chosen].editOrder;
    LoadedReport report = newest ? LoadReport(RequisitionID, context())
                                 : LoadReport(RequisitionID, editOrder, context());
    if (changes && chosen > 0) {
      MarkChanges(report, LoadReport(RequisitionID, editions_[chosen - 1].editOrder, context()));
    }
    for (auto& page : pages_) page->disconnectReaders();
    SendMessageW(form_.control("PrntTabControl"), TCM_DELETEALLITEMS, 0, 0);
    tabPages_.clear();
    pages_.clear();
    load(std::move(report));
    FormShow();
  }

  // Ctrl+C copies the page in front as text, in reading order; a selection in an edit or a
  // rich-text box is that box's to copy.
  bool copyPage() {
    if (ui::hasTextSelection(GetFocus())) return false;
    ui::PageWindow* page = pageInFront();
    if (!page) return false;
    ui::putTextOnClipboard(form_.hwnd(), model::pageText(page->page().model()));
    return true;
  }

  // Reading with the keyboard wherever the focus is: the navigation keys scroll the sheet in
  // front, Ctrl+Tab and Ctrl+Page Down go round the tabs, Escape closes. With Shift the
  // navigation keys are left to a rich edit's selection, and the focused tab control keeps
  // its own arrows.
  bool keyDown(WPARAM key, bool ctrl, bool shift) {
    if (ctrl && !shift) {
      if (std::optional<bool> taken = ctrlKey(key)) return *taken;
    }
    if (key == VK_ESCAPE && !ctrl && !shift) {
      form_.close();
      return true;
    }
    if (ctrl && (key == VK_TAB || key == VK_NEXT || key == VK_PRIOR)) {
      const bool back = key == VK_PRIOR || (key == VK_TAB && shift);
      if (key != VK_TAB && shift) return false;
      switchTab(back ? -1 : 1);
      return true;
    }
    if (ctrl || shift) return false;
    return scrollKey(key);
  }

  // Ctrl with a key alone: copy and zoom; nothing for the other keys.
  std::optional<bool> ctrlKey(WPARAM key) {
    switch (key) {
      case 'C':
        return copyPage();
      case VK_OEM_PLUS:
      case VK_ADD:
        zoomTo(model::nextZoom(zoom_, 1));
        return true;
      case VK_OEM_MINUS:
      case VK_SUBTRACT:
        zoomTo(model::nextZoom(zoom_, -1));
        return true;
      case '0':
      case VK_NUMPAD0:
        zoomTo(defaultZoom_);
        return true;
      default:
        return std::nullopt;
    }
  }

  // A navigation key, as the scroll bar's request it stands for, to the page in front.
  bool scrollKey(WPARAM key) {
    struct Scroll {
      WPARAM key;
      UINT message;
      int code;
    };
    static constexpr Scroll kScrolls[] = {
        {VK_NEXT, WM_VSCROLL, SB_PAGEDOWN}, {VK_PRIOR, WM_VSCROLL, SB_PAGEUP},
        {VK_HOME, WM_VSCROLL, SB_TOP},      {VK_END, WM_VSCROLL, SB_BOTTOM},
        {VK_UP, WM_VSCROLL, SB_LINEUP},     {VK_DOWN, WM_VSCROLL, SB_LINEDOWN},
        {VK_LEFT, WM_HSCROLL, SB_LINELEFT}, {VK_RIGHT, WM_HSCROLL, SB_LINERIGHT},
    };
    const auto* scroll = std::find_if(std::begin(kScrolls), std::end(kScrolls),
                                      [&](const Scroll& s) { return s.key == key; });
    if (scroll == std::end(kScrolls)) return false;
    const bool arrow = key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT;
    if (arrow && GetFocus() == form_.control("PrntTabControl")) return false;
    ui::PageWindow* page = pageInFront();
    HWND box = page ? page->scrollBox() : nullptr;
    if (!box) return false;
    SendMessageW(box, scroll->message, static_cast<WPARAM>(scroll->code), 0);
    return true;
  }

  // Every page follows the zoom; the one in front keeps the point at `anchor` (in its
  // scroll box) in place, or its top-left corner.
  void zoomTo(int percent, const POINT* anchor = nullptr) {
    if (percent == zoom_) return;
    zoom_ = percent;
    ui::PageWindow* front = pageInFront();
    for (auto& page : pages_) page->setZoom(percent, page.get() == front ? anchor : nullptr);
  }

  // The page highest among the window's children, tabbed or not.
  ui::PageWindow* pageInFront() {
    for (HWND h = GetTopWindow(form_.hwnd()); h; h = GetWindow(h, GW_HWNDNEXT)) {
      for (auto& page : pages_) {
        if (page->hwnd() == h) return page.get();
      }
    }
    return nullptr;
  }

  // As a click on the neighbouring tab, wrapping round at either end.
  void switchTab(int step) {
    const int count = static_cast<int>(tabPages_.size());
    if (count == 0) return;
    HWND tabs = form_.control("PrntTabControl");
    const int selected = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    const int next = selected < 0 ? (step > 0 ? 0 : count - 1) : (selected + step + count) % count;
    SendMessageW(tabs, TCM_SETCURSEL, next, 0);
    PrntTabControlChange();
  }

  // The page in front, or every page in tab order: the print dialog, then each of their
  // sheets on a sheet of paper.
  void print(bool everyPage) {
    std::vector<const model::PageModel*> models;
    if (everyPage) {
      for (auto& page : pages_) models.push_back(&page->page().model());
    } else if (ui::PageWindow* front = pageInFront()) {
      models.push_back(&front->page().model());
    }
    if (models.empty()) return;
    ui::PrinterChoice choice = ui::choosePrinter(form_.hwnd());
    if (!choice.printer) return;
    struct WaitCursor {
      HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      ~WaitCursor() { SetCursor(previous); }
    } waiting;
    ui::printSheets(choice.printer.get(), "诊断报告 " + RequisitionID, models, choice.copies);
  }

  void ToolButton2Click() {
    services_.boxes.show("对不起，该功能目前尚需完善...", services_.applicationTitle,
                         mb::kOk | mb::kIconInformation, reinterpret_cast<WindowRef>(form_.hwnd()));
  }

  Services services_;
  data::TdmRIS& dm_;
  std::unique_ptr<Building> building_;
  std::vector<Edition> editions_;
  ui::FormWindow form_;
  unique_image_list images_;
  std::string RequisitionID;
  int32_t DepartmentID = 0;
  // The pages are children of the window; these objects own them and go first.
  std::vector<std::unique_ptr<ui::PageWindow>> pages_;
  std::vector<ui::PageWindow*> tabPages_;  // the page of each tab, in tab order
  // Declared after the pages so that it goes first: its threads are stopped and joined
  // before any page's pictures are released.
  ui::PictureDecoding decoding_;
  // What the pages start at and Ctrl+0 goes back to: the display's scale.
  int defaultZoom_ = model::defaultZoom(services_.displayPercent);
  int zoom_ = defaultZoom_;
};

}  // namespace

// The window and its pages are destroyed when the modal run ends: kept hidden they would
// hold their window handles and pictures for the rest of the host's day, and nothing could
// ever show them again.
void ShowReportPreview(const Services& services, data::TdmRIS& dm, const std::string& requisitionId,
                       HWND owner) {
  TMyPrintPageControl preview(services, dm, requisitionId, owner);
  preview.ShowModal();
  win::traceResources("with the preview open");
}

}  // namespace risview::preview
