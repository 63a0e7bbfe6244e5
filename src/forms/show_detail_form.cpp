#include "forms/show_detail_form.h"

namespace risview::forms {

using namespace model;

// Controls of the report list dialog, positions in client pixels.
const FormDesc& showDetailForm() {
  static const FormDesc form = {.name = "frmShowDetail",
                                .className = "TfrmShowDetail",
                                .caption = "检查报告列表",
                                .clientWidth = 605,
                                .clientHeight = 257,
                                .font = {"宋体", 14, false, 0},
                                .color = Color::fromRgb(238, 238, 238),
                                .sizeable = false,
                                .position = Position::ScreenCenter,
                                .components = {
                                    {.name = "Panel1",
                                     .kind = Kind::Panel,
                                     .align = Align::Bottom,
                                     .rect = {0, 0, 605, 41},
                                     .raisedInnerLoweredOuterBevel = true,
                                     .color = Color::fromRgb(238, 238, 238)},
                                    {.name = "btnOpen",
                                     .kind = Kind::Button,
                                     .parent = "Panel1",
                                     .rect = {436, 8, 75, 25},
                                     .caption = "打开(&O)",
                                     .anchors = {true, true},
                                     .flat = true},
                                    {.name = "btnClose",
                                     .kind = Kind::Button,
                                     .parent = "Panel1",
                                     .rect = {524, 8, 75, 25},
                                     .caption = "关闭(&C)",
                                     .anchors = {true, true},
                                     .flat = true},
                                    {.name = "lvShowDetail",
                                     .kind = Kind::ListView,
                                     .align = Align::Client,
                                     .columns = {{"检查编号", 200, TextAlign::Left},
                                                 {"检查申请时间", 160, TextAlign::Center},
                                                 {"检查部位", 240, TextAlign::Center},
                                                 {"存取编号", 1, TextAlign::Center}}},
                                }};
  return form;
}

}  // namespace risview::forms
