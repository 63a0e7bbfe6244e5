// Zoom arithmetic of the realised sheets: design pixels to device pixels and back, the zoom
// steps, and the scroll position that keeps the point under the pointer.
#include <gtest/gtest.h>

#include "forms/show_detail_form.h"
#include "model/page_model.h"
#include "model/zoom.h"

namespace risview::model {
namespace {

TEST(Zoom, EdgesScaleSoThatTouchingComponentsStillTouch) {
  struct Case {
    Scale scale;
    Rect design, device;
  };
  const Case cases[] = {
      {Scale::percent(100), {94, 4, 794, 1123}, {94, 4, 794, 1123}},
      {Scale::percent(150), {1, 1, 1, 1}, {2, 2, 1, 1}},  // 1.5 -> 2, 3 -> 3
      {Scale::percent(150), {2, 2, 1, 1}, {3, 3, 2, 2}},  // 3 -> 3, 4.5 -> 5
      {Scale::percent(50), {3, 0, 3, 1}, {2, 0, 1, 1}},   // 1.5 -> 2, 3 -> 3, 0.5 -> 1
      {Scale::percent(150), {-3, -1, 2, 2}, {-5, -2, 3, 4}},
      {{300, 96}, {94, 4, 794, 1123}, {294, 13, 2481, 3509}},  // a 300 dpi printer
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.scale(c.design), c.device) << c.scale.num << "/" << c.scale.den;
  }
  // Adjacent rectangles share the scaled edge at every zoom.
  for (int percent : kZoomSteps) {
    const Scale s = Scale::percent(percent);
    const Rect a = s({10, 0, 7, 1}), b = s({17, 0, 9, 1});
    EXPECT_EQ(a.right(), b.left) << percent;
    EXPECT_EQ(s.toDesign(s(400)), 400) << percent;
  }
}

// The report list on a 144-dpi monitor: every size half as large again, so its aligned and
// anchored controls lay out as the design does.
TEST(Zoom, AFormAtADisplayScale) {
  const FormDesc form = scaled(forms::showDetailForm(), Scale::percent(150));
  EXPECT_EQ(form.clientWidth, 908);
  EXPECT_EQ(form.clientHeight, 386);
  EXPECT_EQ(form.font.height, 21);  // 14 pixels
  auto rects = layout(form);
  EXPECT_EQ(rects["Panel1"], (Rect{0, 324, 908, 62}));
  EXPECT_EQ(rects["lvShowDetail"], (Rect{0, 0, 908, 324}));
  EXPECT_EQ(rects["btnOpen"], (Rect{654, 12, 113, 38}));
  int total = 0;
  for (const auto& c : form.component("lvShowDetail").columns) total += c.width;
  EXPECT_EQ(total, 300 + 240 + 360 + 2);
}

TEST(Zoom, StepsHoldAtTheEndsAndFindTheNextFromAnyZoom) {
  struct Case {
    int from, direction, to;
  };
  const Case cases[] = {{100, 1, 110}, {100, -1, 90},  {300, 1, 300}, {50, -1, 50},
                        {144, 1, 150}, {144, -1, 125}, {20, 1, 50},   {400, -1, 300}};
  for (const auto& c : cases) EXPECT_EQ(nextZoom(c.from, c.direction), c.to) << c.from;
  EXPECT_EQ(defaultZoom(150), 150);
  EXPECT_EQ(defaultZoom(25), 50);
  EXPECT_EQ(defaultZoom(400), 300);
}

TEST(Zoom, AZoomKeepsItsProportionToTheDefaultWhenTheMonitorChanges) {
  struct Case {
    int zoom, fromDefault, toDefault, to;
  };
  const Case cases[] = {
      {150, 150, 100, 100},  // the default stays the default
      {175, 150, 100, 117},  // one step above it: 116.7%
      {100, 100, 150, 150}, {125, 100, 150, 188}, {300, 100, 150, 300},  // held at the ends
      {50, 150, 100, 50},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(zoomForDefault(c.zoom, c.fromDefault, c.toDefault), c.to) << c.zoom;
  }
}

TEST(Zoom, ScrollKeepsThePointUnderThePointer) {
  // 100 px down, pointer 200 px into the view: the design point 300 is under it; at 150%
  // it is 450 px down, so the view starts at 250.
  EXPECT_EQ(scrollKeepingPoint(100, 200, Scale::percent(100), Scale::percent(150)), 250);
  EXPECT_EQ(scrollKeepingPoint(250, 200, Scale::percent(150), Scale::percent(100)), 100);
  EXPECT_EQ(scrollKeepingPoint(0, 0, Scale::percent(100), Scale::percent(300)), 0);
  EXPECT_EQ(scrollKeepingPoint(10, 400, Scale::percent(150), Scale::percent(50)), 0);  // held
}

TEST(Zoom, TheTopmostGraphicUnderAPointTakesTheMouse) {
  FormDesc form{.name = "f", .components = {{.name = "Paper", .kind = Kind::Panel}}};
  PageModel model(form);
  model.create({.name = "Below", .kind = Kind::Shape, .parent = "Paper", .rect = {0, 0, 50, 50}});
  model.create({.name = "Above", .kind = Kind::Image, .parent = "Paper", .rect = {20, 20, 50, 50}});
  model.create({.name = "Hidden",
                .kind = Kind::Label,
                .parent = "Paper",
                .rect = {20, 20, 10, 10},
                .visible = false});
  model.create({.name = "Box", .kind = Kind::Edit, .parent = "Paper", .rect = {0, 0, 100, 100}});
  struct Case {
    int x, y;
    const char* expected;
  };
  const Case cases[] = {
      {10, 10, "Below"}, {25, 25, "Above"}, {69, 69, "Above"}, {70, 70, nullptr}, {90, 5, nullptr}};
  for (const auto& c : cases) {
    const Component* found = model.graphicAt("Paper", c.x, c.y);
    EXPECT_EQ(found ? found->name : "", c.expected ? c.expected : "") << c.x << "," << c.y;
  }
}

}  // namespace
}  // namespace risview::model
