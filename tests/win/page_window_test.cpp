// A general report page realised as windows: its windowed controls stand where the model
// puts them, its sheets draw the rest there, at 100% and zoomed; scrolling moves the sheet,
// and pictures of the sheet are saved for people to look at (general-page-top.png,
// general-page-continuation.png and general-page-zoom-150.png in the suite's scratch folder).
#include <windows.h>
// after windows.h
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <vector>

#include "host/png.h"
#include "support/picture_files.h"
#include "support/report_fixture.h"
#include "ui/component_query.h"
#include "ui/page_win.h"

namespace risview::ui {

using namespace model;
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The window's client area as it is on the screen, as PNG.
void savePicture(HWND window, const char* file) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT r;
  GetClientRect(window, &r);
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, r.right, r.bottom, source, 0, 0, SRCCOPY);
  std::vector<uint8_t> rgb;
  const auto* bgra = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < r.right * r.bottom; ++i) {
    rgb.push_back(bgra[4 * i + 2]);
    rgb.push_back(bgra[4 * i + 1]);
    rgb.push_back(bgra[4 * i]);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  std::ofstream(testing::scratchDirectory() + "\\" + file, std::ios::binary)
      << host::encodePng(r.right, r.bottom, rgb);
}

BOOL CALLBACK countChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int childWindows(HWND window) {
  int count = 0;
  EnumChildWindows(window, &countChild, reinterpret_cast<LPARAM>(&count));
  return count;
}

// A sheet drawn by the page's paint routine into a memory bitmap, white paper and all.
class SheetBitmap {
 public:
  SheetBitmap(PageWindow& window, const Component& sheet, Scale scale)
      : width_(scale(sheet.rect.width)), height_(scale(sheet.rect.height)) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FontCache fonts;
    SheetPictures pictures;
    paintSheet(window.page().model(), sheet,
               {dc, scale, {0, 0, width_, height_}, &fonts, &pictures});
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  // Pixels darker than mid-grey within r.
  int inkIn(const Rect& r) const {
    int ink = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom(), height_); ++y) {
      for (int x = std::max(r.left, 0); x < std::min(r.right(), width_); ++x) {
        const uint32_t c = pixels_[static_cast<size_t>(y) * width_ + x];
        if ((c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16 & 0xFF) < 3 * 128) ++ink;
      }
    }
    return ink;
  }

 private:
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

// Five pictures of the report's first page, written to the scratch folder: four on the
// first sheet, the fifth on a continuation sheet. The page reads their headers through the
// fake environment, the window decodes them from the disk.
void addPictures(ReportFixture& fx, const std::string& stem, const std::string& extension,
                 const std::function<std::string(int)>& bytesOf) {
  for (int i = 0; i < 5; ++i) {
    const std::string path =
        testing::scratchDirectory() + "\\" + stem + std::to_string(i) + extension;
    const std::string bytes = bytesOf(i);
    std::ofstream(path, std::ios::binary) << bytes;
    fx.image(i, path, 0, 0, {{"EditOrder", "1"}});
    fx.file(path, bytes);
  }
}

// The control's rectangle in its parent's client area.
Rect placeOf(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST(PageWindow, GeneralPageStandsWhereItsModelSays) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.file("C:\\App\\Host.ini",
          "\xEF\xBB\xBF[Report]\r\nReport PageFoot=本报告仅供临床参考，不作诊断证明。\r\n");
  fx.action("1", "周明", "2024-03-11", "165000");
  fx.action("2", "吴建国", "2024-03-11", "172210");
  fx.action("4", "吴建国", "2024-03-12", "083015", "1");
  fx.request({{"PTN_NAME", "赵磊"},
              {"EditOrder", "1"},
              {"EaxmDesc", "胸部CT平扫"},
              {"EaxmTechnic", "螺旋CT平扫，层厚5mm，薄层重建1.25mm"},
              {"ImageFinding",
               "右肺上叶尖段见一实性结节影，大小约6mm×5mm，边缘光整。纵隔内未见肿大淋巴结。"
               "双侧胸腔未见积液。"},
              {"Impression", "右肺上叶尖段实性小结节，建议6个月后复查。"}});
  addPictures(fx, "scan", ".bmp", [](int i) { return testing::bmpBytes(400 + 40 * i, 300); });
  GdiTextMetrics metrics;
  auto page = fx.page(1, &metrics);
  ASSERT_TRUE(page->PageBuilt);
  const PageModel& model = page->model();

  HWND host = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                              1060, 800, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    PictureDecoding decoding;
    PageWindow window(std::move(page), host, "Page1", decoding);
    window.setBounds({0, 0, 1024, 740});
    EXPECT_EQ(childWindows(window.hwnd()), 0) << "controls before the page came to the front";
    window.bringToFront();
    ShowWindow(host, SW_SHOW);
    pump();

    wchar_t cls[64] = L"";
    GetClassNameW(window.hwnd(), cls, 64);
    EXPECT_EQ(win::narrow(cls), "TMyPrntPage");  // the page's own class, as site tools know it
    // The scroll box, two sheets, the edits and rich-text boxes of the first sheet and those
    // the continuation sheet copies; labels, lines and pictures are drawn by their sheets.
    EXPECT_LE(childWindows(window.hwnd()) + 1, 15 + 5);
    for (const char* name : {"Paper", "RichEdit4", "Edit25"}) {
      ASSERT_NE(window.control(name), nullptr) << name;
      EXPECT_EQ(placeOf(window.control(name)), model.at(name).rect) << name;
    }
    for (const char* name : {"L_Name", "Shape10", "Label1", "Image1"}) {
      EXPECT_EQ(window.control(name), nullptr) << name << " has a window";
    }
    // What the sheet draws is where the model says: ink inside each drawn component.
    for (int percent : {100, 150}) {
      const Scale scale = Scale::percent(percent);
      const SheetBitmap sheet(window, model.at("Paper"), scale);
      for (const char* name : {"L_Name", "Shape10", "Label1", "Image1"}) {
        const Rect r = scale(model.at(name).rect);
        EXPECT_GT(sheet.inkIn(r), 0) << name << " at " << percent << "%";
      }
      const Rect picture = scale(model.at("Image1").rect);
      EXPECT_EQ(sheet.inkIn(picture), picture.width * picture.height) << "a black picture";
      EXPECT_EQ(sheet.inkIn({picture.left, picture.bottom() + 1, picture.width, 2}), 0);
    }
    // The pages answer tools for what they draw.
    ComponentQuery query;
    query.name = "L_Name";
    ASSERT_TRUE(SendMessageW(window.hwnd(), RegisterWindowMessageW(kComponentQueryMessage), 0,
                             reinterpret_cast<LPARAM>(&query)));
    EXPECT_EQ(std::string(query.text), "赵磊");
    EXPECT_TRUE(query.visible);
    MapWindowPoints(nullptr, window.control("Paper"), reinterpret_cast<POINT*>(&query.rect), 2);
    EXPECT_EQ(query.rect.left, model.at("L_Name").rect.left);
    EXPECT_EQ(query.rect.top, model.at("L_Name").rect.top);
    savePicture(host, "general-page-top.png");

    EXPECT_TRUE(IsWindowVisible(window.control("Paper1")));
    window.scrollTo(1100);
    pump();
    savePicture(host, "general-page-continuation.png");

    // Scrolling moves the sheet up within the scroll box's range and no further.
    window.scrollTo(5000);
    pump();
    const int bottom = window.scrollPosition();
    EXPECT_EQ(bottom, 2400 - 740);  // two sheets' range less the box
    EXPECT_EQ(placeOf(window.control("Paper")).top, 4 - bottom);

    // Dragging the sheet: every ninth move scrolls it along with the pointer.
    window.scrollTo(0);
    HWND paper = window.control("Paper");
    SendMessageW(paper, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 400));
    for (int move = 1; move <= 9; ++move) {
      SendMessageW(paper, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 400 - 10 * move));
    }
    SendMessageW(paper, WM_LBUTTONUP, 0, MAKELPARAM(300, 310));
    EXPECT_EQ(window.scrollPosition(), 90);

    // Zoomed, every windowed control stands at its scaled place with its font at the scaled
    // height, the top-left point stays, and pictures are decoded again at their new size.
    window.scrollTo(0);
    pump();
    const size_t decodes = window.pictureDecodes();
    window.setZoom(150);
    pump();
    const Scale zoomed = Scale::percent(150);
    for (const char* name : {"RichEdit4", "Edit25"}) {
      EXPECT_EQ(placeOf(window.control(name)), zoomed(model.at(name).rect)) << name;
    }
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window.control("Edit25"), WM_GETFONT, 0, 0)),
               sizeof lf, &lf);
    EXPECT_EQ(-lf.lfHeight, zoomed(model.at("Edit25").font.height));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(window.control("RichEdit4"), EM_GETCHARFORMAT, SCF_DEFAULT,
                 reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.yHeight, zoomed(model.at("RichEdit4").font.height) * 15);  // twips
    EXPECT_EQ(placeOf(window.control("Paper")), zoomed(model.at("Paper").rect));
    EXPECT_GT(window.pictureDecodes(), decodes);
    savePicture(host, "general-page-zoom-150.png");
  }
  DestroyWindow(host);
}

// Pictures come from the decoding threads: the sheet shows each once it is ready, decodes
// the continuation sheet's ahead while the first is read, and repaints decode nothing.
TEST(PageWindow, PicturesArriveFromTheDecodingThreads) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.action("1", "周明", "2024-03-11", "165000");
  fx.request({{"EditOrder", "1"}, {"ImageFinding", "双肺纹理清晰。"}});
  addPictures(fx, "dark", ".jpg", [](int) {
    return testing::encodeJpeg(1600, 1200, JCS_GRAYSCALE, 90, [](int, int, JSAMPLE* p) { *p = 0; });
  });
  GdiTextMetrics metrics;
  auto page = fx.page(1, &metrics);
  ASSERT_TRUE(page->PageBuilt);
  const PageModel& model = page->model();
  HWND host = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                              1060, 800, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    PictureDecoding decoding;
    // Held, the decoding threads start nothing: the paint must return without the pictures.
    decoding.pool().hold(true);
    PageWindow window(std::move(page), host, "Page1", decoding);
    window.setBounds({0, 0, 1024, 740});
    window.bringToFront();
    ShowWindow(host, SW_SHOW);
    auto query = [&](const char* name) {
      ComponentQuery q;
      q.name = name;
      SendMessageW(window.hwnd(), RegisterWindowMessageW(kComponentQueryMessage), 0,
                   reinterpret_cast<LPARAM>(&q));
      return q;
    };
    auto settle = [&] {
      const ULONGLONG end = GetTickCount64() + 20000;
      do {
        pump();
        UpdateWindow(window.control("Paper"));
      } while ((window.picturesWaiting() > 0 || decoding.pool().unfinished() > 0) &&
               GetTickCount64() < end && (Sleep(5), true));
      pump();
    };
    // Samples of the first picture's box on the screen in one colour.
    const Rect box = model.at("Image1").rect;
    const int samples = ((box.width + 6) / 7) * ((box.height + 6) / 7);
    auto inColour = [&](COLORREF colour) {
      HDC dc = GetDC(window.control("Paper"));
      int n = 0;
      for (int y = box.top; y < box.bottom(); y += 7) {
        for (int x = box.left; x < box.right(); x += 7) n += GetPixel(dc, x, y) == colour;
      }
      ReleaseDC(window.control("Paper"), dc);
      return n;
    };
    pump();
    UpdateWindow(window.control("Paper"));
    EXPECT_EQ(window.picturesWaiting(), 5);
    EXPECT_FALSE(query("Image1").pictureDrawn);
    EXPECT_EQ(inColour(RGB(236, 236, 236)), samples);  // the light placeholder

    decoding.pool().hold(false);
    settle();
    EXPECT_EQ(window.picturesWaiting(), 0);
    for (const char* name : {"Image1", "Image2", "Image3", "Image4"}) {
      EXPECT_TRUE(query(name).pictureDrawn) << name;
    }
    // Drawn on the screen: the black picture fills its box, no placeholder left.
    EXPECT_EQ(inColour(RGB(0, 0, 0)), samples);

    // The continuation sheet's picture was decoded ahead: it is drawn by the first paint
    // that shows it, and painting again decodes nothing.
    EXPECT_FALSE(query("Image5").pictureDrawn);
    const size_t decodes = window.pictureDecodes();
    window.scrollTo(1100);
    UpdateWindow(window.control("Paper1"));
    EXPECT_TRUE(query("Image5").pictureDrawn);
    RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(window.pictureDecodes(), decodes);
    decoding.stop();
  }
  DestroyWindow(host);
}

}  // namespace
}  // namespace risview::ui
