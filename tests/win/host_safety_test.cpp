// What the library owes the host it runs in: a modal run holds every other window of the
// thread, a close sent from elsewhere ends it, no error escapes a window procedure, a lost
// capture ends a drag, and nothing of the library stays registered once its windows are gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "forms/page_forms.h"
#include "support/doubles.h"
#include "support/report_fixture.h"
#include "ui/form_win.h"
#include "ui/page_win.h"
#include "ui/window_win.h"

namespace risview::ui {

using namespace model;
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;

const FormDesc& smallForm() {
  static const FormDesc form = {.name = "frmSafety",
                                .className = "TfrmSafety",
                                .caption = "safety",
                                .clientWidth = 200,
                                .clientHeight = 100,
                                .font = {"宋体", 12}};
  return form;
}

HWND topLevel(const wchar_t* caption) {
  HWND h = CreateWindowExW(0, L"STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                           nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(h, nullptr);
  return h;
}

TEST(HostSafety, ModalRunHoldsTheThreadsOtherWindowsAndGivesBackExactlyThose) {
  testing::FakeServices fake;
  HWND host = topLevel(L"host");
  HWND alreadyDisabled = topLevel(L"disabled by the host");
  EnableWindow(alreadyDisabled, FALSE);
  {
    FormWindow form(smallForm(), fake.services());
    bool hostEnabledDuringRun = true;
    form.onShow = [&] {
      hostEnabledDuringRun = IsWindowEnabled(host) != FALSE;
      form.close();
    };
    form.showModal();
    EXPECT_FALSE(hostEnabledDuringRun);
  }
  EXPECT_TRUE(IsWindowEnabled(host));
  EXPECT_FALSE(IsWindowEnabled(alreadyDisabled));
  DestroyWindow(host);
  DestroyWindow(alreadyDisabled);
}

// A close sent from another thread is handled inside GetMessageW; the run used to wait for
// some later posted message before it noticed.
TEST(HostSafety, CloseSentFromAnotherThreadEndsTheRunAtOnce) {
  testing::FakeServices fake;
  FormWindow form(smallForm(), fake.services());
  std::atomic<bool> runEnded{false}, watchdogNeeded{false};
  std::thread closer, watchdog;
  form.onShow = [&] {
    HWND h = form.hwnd();
    closer = std::thread([h] {
      Sleep(100);
      SendMessageW(h, WM_CLOSE, 0, 0);
    });
    watchdog = std::thread([&, h] {
      for (int i = 0; i < 50 && !runEnded; ++i) Sleep(100);
      if (!runEnded) {
        watchdogNeeded = true;
        PostMessageW(h, WM_NULL, 0, 0);
      }
    });
  };
  form.showModal();
  runEnded = true;
  closer.join();
  watchdog.join();
  EXPECT_FALSE(watchdogNeeded);
}

// A page whose sheet's mouse handler fails as badly as a handler can.
class ThrowingPage : public pages::TPrntPage {
 public:
  explicit ThrowingPage(pages::PageContext& context)
      : TPrntPage(forms::generalPageForm(), context) {}
  const char* className() const override { return "TThrowingPage"; }
  void PaperMouseDown(int) override {
    ++thrown;
    throw std::bad_alloc();
  }
  int thrown = 0;
};

TEST(HostSafety, AnErrorInAPageWindowNeverReachesTheHost) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  HWND host = topLevel(L"page host");
  {
    PictureDecoding decoding;
    auto owned = std::make_unique<ThrowingPage>(fx.context);
    const ThrowingPage& page = *owned;
    PageWindow window(std::move(owned), host, "Page1", decoding);
    window.setBounds({0, 0, 800, 600});
    window.bringToFront();
    // Escaping, the error would end this process here.
    SendMessageW(window.control("Paper"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(window.control("Paper"), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(page.thrown, 1);  // the handler ran and threw; the window stopped it
    EXPECT_TRUE(IsWindow(window.control("Paper")));
  }
  DestroyWindow(host);
}

TEST(HostSafety, LostCaptureEndsDragScrolling) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.request();
  auto page = fx.page(1);
  ASSERT_TRUE(page->PageBuilt);
  HWND host = topLevel(L"page host");
  {
    PictureDecoding decoding;
    PageWindow window(std::move(page), host, "Page1", decoding);
    window.setBounds({0, 0, 800, 400});
    window.bringToFront();
    HWND paper = window.control("Paper");
    SendMessageW(paper, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 400));
    ReleaseCapture();  // as when a box or another program takes the mouse mid-drag
    for (int move = 1; move <= 20; ++move) {
      SendMessageW(paper, WM_MOUSEMOVE, 0, MAKELPARAM(300, 400 - 10 * move));
    }
    EXPECT_EQ(window.scrollPosition(), 0);
  }
  DestroyWindow(host);
}

TEST(HostSafety, ReportTextThatDoesNotFitShowsAScrollBar) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  std::string longFinding;
  // More than the 32,767 characters a rich edit takes by default (Windows cuts the rest off
  // unless told otherwise).
  for (int i = 0; i < 1700; ++i) longFinding += "右肺上叶尖段见一实性结节影，边缘光整。\r\n";
  ReportFixture fx;
  fx.request({{"ImageFinding", longFinding}, {"Impression", "未见异常。"}});
  GdiTextMetrics metrics;
  auto page = fx.page(1, &metrics);
  ASSERT_TRUE(page->PageBuilt);
  HWND host = topLevel(L"page host");
  {
    PictureDecoding decoding;
    PageWindow window(std::move(page), host, "Page1", decoding);
    window.setBounds({0, 0, 1024, 740});
    window.bringToFront();
    ShowWindow(host, SW_SHOW);
    int overflowing = 0, fitting = 0;
    for (const Component& c : window.page().model().components()) {
      if (c.kind != Kind::RichEdit || !c.visible) continue;
      HWND box = window.control(c.name);
      ASSERT_NE(box, nullptr) << c.name;
      SCROLLBARINFO bar{sizeof bar};
      GetScrollBarInfo(box, OBJID_VSCROLL, &bar);
      const bool shown = !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
      EXPECT_EQ(shown, c.overflows) << c.name;
      if (c.overflows) {
        EXPECT_GE(GetWindowTextLengthW(box), 1700 * 20) << "the text was cut";
      }
      (c.overflows ? overflowing : fitting)++;
    }
    EXPECT_EQ(overflowing, 1);
    EXPECT_GT(fitting, 0);
  }
  DestroyWindow(host);
}

// An object answering a window of one of our classes: it notes what it is handed and fails
// on WM_APP.
struct BoundObject {
  std::vector<UINT> seen;
  LRESULT handle(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    if (message == WM_APP) throw std::runtime_error("a failing handler");
    return DefWindowProcW(h, message, wParam, lParam);
  }
};

// A form used to see nothing before its creation returned; every class of ours now hands its
// object the window's whole life, from WM_NCCREATE to WM_NCDESTROY, and keeps its errors.
TEST(HostSafety, OurWindowClassesHandTheirObjectTheWindowsWholeLife) {
  WindowClass<BoundObject, &BoundObject::handle>::registerAs(L"RisviewBoundObject");
  BoundObject object;
  HWND h = CreateWindowExW(0, L"RisviewBoundObject", L"bound", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                           nullptr, win::thisModule(), &object);
  ASSERT_NE(h, nullptr);
  ASSERT_FALSE(object.seen.empty());
  EXPECT_EQ(object.seen.front(), static_cast<UINT>(WM_NCCREATE));
  EXPECT_NE(std::find(object.seen.begin(), object.seen.end(), WM_CREATE), object.seen.end());
  EXPECT_EQ(boundObject<BoundObject>(h), &object);
  EXPECT_EQ(SendMessageW(h, WM_APP, 0, 0), 0);  // escaping, the error would end the process
  EXPECT_EQ(object.seen.back(), static_cast<UINT>(WM_APP));
  DestroyWindow(h);
  EXPECT_EQ(object.seen.back(), static_cast<UINT>(WM_NCDESTROY));
}

TEST(HostSafety, NothingStaysRegisteredOnceTheWindowsAreGone) {
  testing::FakeServices fake;
  {
    FormWindow form(smallForm(), fake.services());
    WNDCLASSEXW wc{sizeof wc};
    ASSERT_TRUE(GetClassInfoExW(win::thisModule(), L"TfrmSafety", &wc));
  }
  releaseWindowResources(GetClipboardSequenceNumber());
  WNDCLASSEXW wc{sizeof wc};
  EXPECT_FALSE(GetClassInfoExW(win::thisModule(), L"TfrmSafety", &wc));
  EXPECT_FALSE(GetClassInfoExW(win::thisModule(), L"TPanel", &wc));
}

}  // namespace
}  // namespace risview::ui
