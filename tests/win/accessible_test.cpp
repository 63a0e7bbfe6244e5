// A sheet as a screen reader meets it, asked through the system's own
// AccessibleObjectFromWindow: its children with their names, roles and places on the screen
// against the model, for each page class at 100% and at 150%, and hit testing.
#include <windows.h>
// after windows.h
#include <oleacc.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "model/sheet_reading.h"
#include "platform/win32.h"
#include "support/report_fixture.h"
#include "ui/page_win.h"

namespace risview::ui {

using namespace model;
namespace {

using testing::Backend;
using testing::Fixture;
using testing::ReportFixture;

constexpr GUID kIAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

VARIANT child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::string nameOf(IAccessible* object, long id) {
  BSTR name = nullptr;
  if (object->get_accName(child(id), &name) != S_OK || !name) return "(none)";
  std::string text = win::narrow(name);
  SysFreeString(name);
  return text;
}

long roleOf(IAccessible* object, long id) {
  VARIANT role;
  VariantInit(&role);
  return object->get_accRole(child(id), &role) == S_OK && role.vt == VT_I4 ? role.lVal : -1;
}

RECT placeOf(IAccessible* object, long id) {
  long x = 0, y = 0, w = 0, h = 0;
  if (object->accLocation(&x, &y, &w, &h, child(id)) != S_OK) return {};
  return {x, y, x + w, y + h};
}

struct Expected {
  const char* component;  // "picture": the first picture the sheet shows
  const char* name;       // null: the component's own text
  long role;
};

const Component& named(const PageModel& model, const char* name) {
  if (std::string(name) != "picture") return model.at(name);
  for (const Component& c : model.components()) {
    if (c.kind == Kind::Image && c.visible && c.parent == "Paper" && !c.file.empty()) return c;
  }
  throw std::runtime_error("the sheet shows no picture");
}

struct PageCase {
  const char* what;
  int departmentId;
  std::vector<Expected> expected;
};

const std::vector<PageCase> kPages = {
    {"general page",
     1,
     {{"L_Name", nullptr, ROLE_SYSTEM_STATICTEXT},
      {"Label45", "影像所见", ROLE_SYSTEM_STATICTEXT},
      {"picture", "图像 1", ROLE_SYSTEM_GRAPHIC},
      {"RichEdit4", nullptr, ROLE_SYSTEM_TEXT}}},
    {"nuclear-medicine page",
     5,
     {{"L_Name", nullptr, ROLE_SYSTEM_STATICTEXT},
      {"picture", "图像 1", ROLE_SYSTEM_GRAPHIC},
      {"RichEdit4", nullptr, ROLE_SYSTEM_TEXT}}},
    {"endoscopy page",
     4,
     {{"L_Name", nullptr, ROLE_SYSTEM_STATICTEXT},
      {"picture", "胃底", ROLE_SYSTEM_GRAPHIC},  // named by its caption
      {"RichEdit4", nullptr, ROLE_SYSTEM_TEXT}}},
};

TEST(SheetAccessible, ChildrenStandWhereTheModelPutsThemAtEveryZoom) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  for (const PageCase& pc : kPages) {
    for (int zoom : {100, 150}) {
      SCOPED_TRACE(std::string(pc.what) + " at " + std::to_string(zoom) + "%");
      ReportFixture fx;
      fx.request({{"PTN_NAME", "赵磊"}, {"ImageFinding", "双肺纹理清晰。"}});
      for (int i = 0; i < 2; ++i) {
        fx.image(i, "C:\\img\\" + std::to_string(i) + ".bmp", 150, 150, {{"ImageText", "胃底"}});
      }
      GdiTextMetrics metrics;
      auto page = fx.page(pc.departmentId, &metrics);
      ASSERT_TRUE(page->PageBuilt);
      HWND host = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                                  0, 1060, 800, nullptr, nullptr, nullptr, nullptr);
      {
        PictureDecoding decoding;
        PageWindow window(std::move(page), host, "Page1", decoding);
        window.setBounds({0, 0, 1024, 740});
        window.bringToFront();
        window.setZoom(zoom);
        ShowWindow(host, SW_SHOW);
        pump();
        const PageModel& model = window.page().model();
        const Component& paper = model.at("Paper");
        HWND sheet = window.control("Paper");
        IAccessible* object = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(sheet, static_cast<DWORD>(OBJID_CLIENT), kIAccessible,
                                             reinterpret_cast<void**>(&object)),
                  S_OK);
        long count = 0;
        object->get_accChildCount(&count);
        EXPECT_EQ(count, static_cast<long>(readableItems(model, paper).size()));
        EXPECT_EQ(roleOf(object, CHILDID_SELF), ROLE_SYSTEM_DOCUMENT);

        RECT origin{};
        GetWindowRect(sheet, &origin);
        const Scale scale = Scale::percent(zoom);
        for (const Expected& e : pc.expected) {
          const Component& c = named(model, e.component);
          const long id = childIdOf(model, paper, c);
          ASSERT_GT(id, 0) << e.component;
          EXPECT_EQ(nameOf(object, id), e.name ? e.name : c.caption) << e.component;
          EXPECT_EQ(roleOf(object, id), e.role) << e.component;
          RECT expected = toRect(scale(c.rect));
          OffsetRect(&expected, origin.left, origin.top);
          if (HWND own = window.control(c.name)) GetWindowRect(own, &expected);
          const RECT found = placeOf(object, id);
          EXPECT_TRUE(EqualRect(&found, &expected))
              << e.component << ": " << found.left << ' ' << found.top << ' ' << found.right << ' '
              << found.bottom << " for " << expected.left << ' ' << expected.top << ' '
              << expected.right << ' ' << expected.bottom;
        }
        // The label under the point is what a reader pointing there hears.
        const long nameId = childIdOf(model, paper, model.at("L_Name"));
        const RECT label = placeOf(object, nameId);
        VARIANT hit;
        VariantInit(&hit);
        object->accHitTest((label.left + label.right) / 2, (label.top + label.bottom) / 2, &hit);
        EXPECT_EQ(hit.vt, VT_I4);
        EXPECT_EQ(hit.lVal, nameId);
        // Round the children: the first after the sheet, nothing after the last.
        VARIANT next;
        VariantInit(&next);
        EXPECT_EQ(object->accNavigate(NAVDIR_FIRSTCHILD, child(CHILDID_SELF), &next), S_OK);
        EXPECT_EQ(next.lVal, 1);
        EXPECT_EQ(object->accNavigate(NAVDIR_NEXT, child(count), &next), S_FALSE);
        // The sheet's value is its text, as copying gives it.
        BSTR value = nullptr;
        ASSERT_EQ(object->get_accValue(child(CHILDID_SELF), &value), S_OK);
        EXPECT_EQ(win::narrow(value), sheetText(model, paper));
        SysFreeString(value);
        object->Release();
      }
      DestroyWindow(host);
    }
  }
}

// A client that keeps the object after the page is gone is told so, and nothing crashes.
TEST(SheetAccessible, AnObjectHeldPastItsPageAnswersThatItIsGone) {
  if (!Fixture::available(Backend::Sqlite)) GTEST_SKIP() << "SQLite ODBC driver missing";
  ReportFixture fx;
  fx.request();
  GdiTextMetrics metrics;
  auto page = fx.page(1, &metrics);
  HWND host = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW, 0, 0, 1060, 800, nullptr,
                              nullptr, nullptr, nullptr);
  IAccessible* object = nullptr;
  {
    PictureDecoding decoding;
    PageWindow window(std::move(page), host, "Page1", decoding);
    window.bringToFront();
    ASSERT_EQ(AccessibleObjectFromWindow(window.control("Paper"), static_cast<DWORD>(OBJID_CLIENT),
                                         kIAccessible, reinterpret_cast<void**>(&object)),
              S_OK);
  }
  long count = 0;
  EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
  object->Release();
  DestroyWindow(host);
}

}  // namespace
}  // namespace risview::ui
