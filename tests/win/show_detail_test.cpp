// The report list dialog as a real window, driven by messages queued before its modal
// run: they are handled in order once the dialog pumps, and the last one closes it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "entry/exports.h"
#include "list/show_detail_win.h"
#include "support/doubles.h"
#include "support/fixture.h"
#include "ui/window_win.h"

extern "C" {
void* _dmRIS = nullptr;  // the DLL defines it; the suite stands in for the DLL
}

namespace risview::list {
namespace {

using testing::Backend;
using testing::FakeServices;
using testing::Fixture;
using testing::RecordedBox;
using testing::Schema;

class ShowDetailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.insert("RIS_REQUEST", {{"RequisitionID", "CT01"},
                              {"PatientID", "P1"},
                              {"HospitalID", "45"},
                              {"Examdate", "2024-03-05"},
                              {"ExamBodyPart", "胸部CT"}});
    fx.insert("RIS_REQUEST", {{"RequisitionID", "DR02"},
                              {"PatientID", "P1"},
                              {"HospitalID", "45"},
                              {"Examdate", "2024-03-06"},
                              {"ExamBodyPart", "胸部正位"}});
    fake.env.files["C:\\work\\RisOption.ini"] =
        "[RISDATASET]\nSERVER=x\nDataBaseName=" + fx.database() + "\nDriver=SQLite3\n";
  }
  std::vector<std::string> rows(TfrmShowDetail& dlg) {
    HWND lv = dlg.form().control("lvShowDetail");
    std::vector<std::string> out;
    for (int i = 0; i < ListView_GetItemCount(lv); ++i) {
      std::string row;
      for (int s = 0; s < 4; ++s) {
        wchar_t text[256] = L"";
        ListView_GetItemText(lv, i, s, text, 256);
        if (s > 0) row += '|';
        row += win::narrow(text);
      }
      out.push_back(row);
    }
    return out;
  }
  Fixture fx{Backend::Sqlite, Schema::Ris};
  FakeServices fake;
};

TEST_F(ShowDetailTest, ListsRequestsAndAnswersKeys) {
  TfrmShowDetail dlg(fake.services());
  EXPECT_NE(_dmRIS, nullptr);
  fake.boxes.shown.clear();  // the archive connection's box
  dlg.FHospitalID = "45";
  HWND lv = dlg.form().control("lvShowDetail");
  PostMessageW(lv, WM_CHAR, '{', 0);
  PostMessageW(lv, WM_KEYDOWN, VK_F12, 0);
  PostMessageW(lv, WM_CHAR, 27, 0);
  dlg.ShowModal();
  EXPECT_EQ(rows(dlg), (std::vector<std::string>{"CT01|2024-03-05|胸部CT|CT01",
                                                 "DR02|2024-03-06|胸部正位|DR02"}));
  EXPECT_EQ(ListView_GetSelectedCount(lv), 0u);
  ASSERT_EQ(fake.boxes.shown.size(), 1u);
  EXPECT_EQ(fake.boxes.shown[0].text, "V2.070823.01");
  EXPECT_EQ(fake.boxes.shown[0].caption, "Risview");
  EXPECT_EQ(fake.boxes.shown[0].style, 0u);
}

TEST_F(ShowDetailTest, BlankNumbersShowTheGenericErrorBoxAndAnEmptyList) {
  TfrmShowDetail dlg(fake.services());
  fake.boxes.shown.clear();
  PostMessageW(dlg.form().hwnd(), WM_CLOSE, 0, 0);
  dlg.ShowModal();
  EXPECT_TRUE(rows(dlg).empty());
  ASSERT_EQ(fake.boxes.shown.size(), 1u);
  EXPECT_EQ(fake.boxes.shown[0].style, mb::kIconHand);
  EXPECT_EQ(fake.boxes.shown[0].caption, "Risview");
  EXPECT_FALSE(fake.boxes.shown[0].text.empty());
}

TEST_F(ShowDetailTest, CloseButtonEndsTheRunAndDestructionClearsTheDataModule) {
  {
    TfrmShowDetail dlg(fake.services());
    dlg.FClinicID = "none";
    HWND close = dlg.form().control("btnClose");
    PostMessageW(close, BM_CLICK, 0, 0);
    dlg.ShowModal();
    EXPECT_NE(_dmRIS, nullptr);
  }
  EXPECT_EQ(_dmRIS, nullptr);
}

TEST_F(ShowDetailTest, ControlsCarryTheirComponentNames) {
  TfrmShowDetail dlg(fake.services());
  for (const char* name : {"Panel1", "btnOpen", "btnClose", "lvShowDetail"}) {
    HWND h = dlg.form().control(name);
    ASSERT_NE(h, nullptr) << name;
    const wchar_t* text = ui::componentNameOf(h);
    ASSERT_NE(text, nullptr) << name;
    EXPECT_EQ(win::narrow(text), name);
    // Kept in the process, not in the session's atom table, which outlives a killed host.
    EXPECT_EQ(GlobalFindAtomW(text), 0) << name;
  }
  RECT client;
  GetClientRect(dlg.form().hwnd(), &client);
  EXPECT_EQ(client.right, 605);
  EXPECT_EQ(client.bottom, 257);
}

// In a DPI-aware host the list takes its monitor's scale, half as large again at 144 dpi:
// its client area, its controls (as the portable layout puts them), its font and its
// columns; whether it opens there, or is dragged there or back (WM_DPICHANGED with the
// rectangle the system suggests, the frame around the client area at the new scale).
TEST_F(ShowDetailTest, ADpiAwareHostGetsTheListAtItsMonitorsScale) {
  struct Expected {
    int clientWidth, clientHeight, openLeft, openWidth, openHeight, fontHeight, firstColumn;
  };
  const Expected at100{605, 257, 436, 75, 25, 14, 200}, at150{908, 386, 654, 113, 38, 21, 300};
  const struct {
    int opensAt, movesToDpi;
    Expected expected;
  } cases[] = {{150, 0, at150}, {100, 144, at150}, {150, 96, at100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.opensAt) + "% to " + std::to_string(c.movesToDpi) + " dpi");
    Services services = fake.services();
    services.displayPercent = c.opensAt;
    TfrmShowDetail dlg(services);
    HWND window = dlg.form().hwnd();
    if (c.movesToDpi) {
      RECT suggested{0, 0, c.expected.clientWidth, c.expected.clientHeight};
      AdjustWindowRectEx(&suggested, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
      OffsetRect(&suggested, 40 - suggested.left, 30 - suggested.top);
      SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(c.movesToDpi, c.movesToDpi),
                   reinterpret_cast<LPARAM>(&suggested));
      RECT frame;
      GetWindowRect(window, &frame);
      EXPECT_TRUE(EqualRect(&frame, &suggested));
    }
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, c.expected.clientWidth);
    EXPECT_EQ(client.bottom, c.expected.clientHeight);
    HWND open = dlg.form().control("btnOpen");
    RECT r;
    GetWindowRect(open, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(open), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, c.expected.openLeft);
    EXPECT_EQ(r.right - r.left, c.expected.openWidth);
    EXPECT_EQ(r.bottom - r.top, c.expected.openHeight);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(open, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(-font.lfHeight, c.expected.fontHeight);
    HWND list = dlg.form().control("lvShowDetail");
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), c.expected.firstColumn);
  }
}

}  // namespace
}  // namespace risview::list
