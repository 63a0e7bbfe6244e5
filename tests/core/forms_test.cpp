#include <gtest/gtest.h>

#include "forms/preview_form.h"
#include "forms/show_detail_form.h"
#include "model/form.h"

namespace risview::model {
namespace {

TEST(ShowDetailForm, PanelAlongTheBottomListFillsTheRest) {
  const FormDesc& form = forms::showDetailForm();
  auto rects = layout(form);
  EXPECT_EQ(rects["Panel1"], (Rect{0, 216, 605, 41}));
  EXPECT_EQ(rects["btnOpen"], (Rect{436, 8, 75, 25}));
  EXPECT_EQ(rects["btnClose"], (Rect{524, 8, 75, 25}));
  EXPECT_EQ(rects["lvShowDetail"], (Rect{0, 0, 605, 216}));
  int total = 0;
  for (const auto& c : form.component("lvShowDetail").columns) total += c.width;
  EXPECT_EQ(total, 200 + 160 + 240 + 1);
}

// Offering printing shows the two print buttons and widens the tool bar by them; nothing
// else of the window changes.
TEST(PreviewForm, PrintingShowsTwoMoreButtonsBeforeTheCloseButton) {
  for (bool printing : {false, true}) {
    const FormDesc& form = forms::previewForm(printing);
    std::vector<std::string> shown;
    for (const auto& c : form.components) {
      if (c.kind == Kind::ToolButton && c.visible) shown.push_back(c.name);
    }
    auto rects = layout(form);
    const int width = printing ? 3 * 39 : 39;
    EXPECT_EQ(shown, printing
                         ? (std::vector<std::string>{"ToolButton8", "ToolButton1", "ToolButton7"})
                         : std::vector<std::string>{"ToolButton7"});
    EXPECT_EQ(rects["ToolBar1"], (Rect{0, 0, width, 41}));
    EXPECT_EQ(rects["ProgressBar1"], (Rect{width, 0, 1024 - width, 41}));
    EXPECT_EQ(rects["PrntTabControl"], (Rect{0, 41, 1024, 27}));
  }
}

TEST(Layout, AlignedComponentsShareWhatIsLeftInOrder) {
  FormDesc form{
      .name = "f",
      .clientWidth = 1032,
      .clientHeight = 700,
      .components = {
          {.name = "Panel1", .kind = Kind::Panel, .align = Align::Top, .rect = {0, 0, 0, 41}},
          {.name = "Tabs", .kind = Kind::TabControl, .align = Align::Top, .rect = {0, 0, 0, 27}},
          {.name = "Bar",
           .kind = Kind::ToolBar,
           .parent = "Panel1",
           .align = Align::Left,
           .rect = {0, 0, 120, 0}},
          {.name = "Progress",
           .kind = Kind::ProgressBar,
           .parent = "Panel1",
           .align = Align::Client},
          {.name = "Page", .kind = Kind::Panel, .align = Align::Client}}};
  auto rects = layout(form);
  EXPECT_EQ(rects["Tabs"], (Rect{0, 41, 1032, 27}));
  EXPECT_EQ(rects["Bar"], (Rect{0, 0, 120, 41}));
  EXPECT_EQ(rects["Progress"], (Rect{120, 0, 912, 41}));
  EXPECT_EQ(rects["Page"], (Rect{0, 68, 1032, 632}));
}

TEST(Layout, ScreenCentredWindowIncludesItsFrame) {
  const FormDesc& form = forms::showDetailForm();
  EXPECT_EQ(placeWindow(form, 1280, 1024, 6, 25),
            (Rect{(1280 - 611) / 2, (1024 - 282) / 2, 611, 282}));
}

}  // namespace
}  // namespace risview::model
