#include "forms/preview_form.h"

namespace risview::forms {

using namespace model;

namespace {

ComponentDesc toolButton(const char* name, int image, const char* hint, bool visible = false) {
  return {.name = name,
          .kind = Kind::ToolButton,
          .parent = "ToolBar1",
          .visible = visible,
          .hint = hint,
          .imageIndex = image};
}

// The preview window: a tool bar over the page tabs; the pages fill the rest. Of the tool
// buttons only the one that closes the window is shown unless printing is offered.
FormDesc makePreviewForm() {
  return {.name = "MyPrintPageControl",
          .className = "TMyPrintPageControl",
          .caption = "诊断报告打印...",
          .clientWidth = 1024,
          .clientHeight = 714,
          .font = {"MS Sans Serif", 11, false, 0},
          .sizeable = true,
          .position = Position::Bounds,
          .bounds = {-4, -4, 1032, 748},
          .components = {
              {.name = "Panel1", .kind = Kind::Panel, .align = Align::Top, .rect = {0, 0, 0, 41}},
              // Auto-sized to its one visible 39-pixel button.
              {.name = "ToolBar1",
               .kind = Kind::ToolBar,
               .parent = "Panel1",
               .align = Align::Left,
               .rect = {0, 0, 39, 0}},
              toolButton("ToolButton8", 0, "打印当前报告页..."),
              toolButton("ToolButton1", 7, "打印全部报告页..."),
              toolButton("ToolButton2", 1, "打印机设置..."),
              toolButton("ToolButton4", 3, "一分格图"),
              toolButton("ToolButton3", 2, "二分格图"),
              toolButton("ToolButton5", 4, "四分格图"),
              toolButton("ToolButton9", 8, ""),
              toolButton("ToolButton6", 5, "图文切换"),
              toolButton("ToolButton7", 6, "", true),
              {.name = "ProgressBar1",
               .kind = Kind::ProgressBar,
               .parent = "Panel1",
               .align = Align::Client},
              {.name = "PrntTabControl",
               .kind = Kind::TabControl,
               .align = Align::Top,
               .rect = {0, 0, 0, 27}},
          }};
}

FormDesc makePreviewForm(bool printing, bool editions) {
  FormDesc form = makePreviewForm();
  int shown = 0;
  for (auto& c : form.components) {
    if (printing && (c.name == "ToolButton8" || c.name == "ToolButton1")) c.visible = true;
    if (c.kind == Kind::ToolButton && c.visible) ++shown;
  }
  // The tool bar sizes itself to its shown buttons.
  const int toolBarWidth = 39 * shown;
  for (auto& c : form.components) {
    if (c.name == "ToolBar1") c.rect.width = toolBarWidth;
    if (editions && c.name == "ProgressBar1") c.visible = false;
  }
  if (editions) {
    // The drop-down's height is that of its open list.
    form.components.push_back({.name = "EditionBox",
                               .kind = Kind::ComboBox,
                               .parent = "Panel1",
                               .rect = {toolBarWidth + 8, 9, 260, 200},
                               .font = {"宋体", 12}});
    form.components.push_back({.name = "ShowChanges",
                               .kind = Kind::CheckBox,
                               .parent = "Panel1",
                               .rect = {toolBarWidth + 278, 11, 90, 20},
                               .caption = "显示修改",
                               .font = {"宋体", 12}});
  }
  return form;
}

}  // namespace

const FormDesc& previewForm(bool printing, bool editions) {
  static const FormDesc forms[2][2] = {
      {makePreviewForm(false, false), makePreviewForm(false, true)},
      {makePreviewForm(true, false), makePreviewForm(true, true)}};
  return forms[printing][editions];
}

}  // namespace risview::forms
