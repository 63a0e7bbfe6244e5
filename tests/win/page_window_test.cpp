// A general report page realised as real windows: the controls stand where the model puts
// them, scrolling moves the sheet, and pictures of the sheet are saved for people to look at
// (general-page-top.png and general-page-continuation.png in the suite's working folder).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "host/png.h"
#include "support/report_fixture.h"
#include "ui/page_win.h"

namespace risview::ui {
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
  std::ofstream(file, std::ios::binary) << host::encodePng(r.right, r.bottom, rgb);
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
  // Five pictures: four on the first sheet, the fifth on a continuation sheet. The page reads
  // their headers through the fake environment, the window decodes them from the disk.
  for (int i = 0; i < 5; ++i) {
    const std::string path = testing::scratchDirectory() + "\\scan" + std::to_string(i) + ".bmp";
    const std::string bytes = testing::bmpBytes(400 + 40 * i, 300);
    std::ofstream(path, std::ios::binary) << bytes;
    fx.image(i, path, 0, 0, {{"EditOrder", "1"}});
    fx.file(path, bytes);
  }
  GdiTextMetrics metrics;
  auto page = fx.page(1, &metrics);
  ASSERT_TRUE(page->PageBuilt);
  const PageModel& model = page->model();

  HWND host = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                              1060, 800, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    PageWindow window(std::move(page), host, "Page1");
    window.setBounds({0, 0, 1024, 740});
    window.bringToFront();
    ShowWindow(host, SW_SHOW);
    pump();

    wchar_t cls[64] = L"";
    GetClassNameW(window.hwnd(), cls, 64);
    EXPECT_EQ(win::narrow(cls), "TMyPrntPage");  // the page's own class, as site tools know it
    for (const char* name : {"Paper", "L_Name", "Shape10", "RichEdit4", "Edit25", "Label1"}) {
      ASSERT_NE(window.control(name), nullptr) << name;
      EXPECT_EQ(placeOf(window.control(name)), model.at(name).rect) << name;
    }
    EXPECT_FALSE(IsWindowVisible(window.control("Label3")));
    wchar_t text[64] = L"";
    GetWindowTextW(window.control("L_Name"), text, 64);
    EXPECT_EQ(win::narrow(text), "赵磊");
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
  }
  DestroyWindow(host);
}

}  // namespace
}  // namespace risview::ui
