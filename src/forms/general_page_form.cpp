#include "forms/page_forms.h"
#include "forms/sheet_parts.h"

namespace risview::forms {

using namespace model;
using namespace sheet;

// The general report page: an A4 sheet (794 x 1123 at 96 pixels per inch) in a grey scroll
// box, positions in sheet pixels. The two hospital-name lines are each site's own wording.
const FormDesc& generalPageForm() {
  static const FormDesc form = {
      .name = "MyPrntPage",
      .className = "TMyPrntPage",
      .caption = "报告样式",
      .clientWidth = 1024,
      .clientHeight = 740,
      .font = font(15),
      .color = Color::of(Color::System::ButtonFace),
      .components = {
          scrollBox(),
          paper({94, 4, 794, 1123}, font(15, true)),
          label("Label24", {265, 87, 288, 33}, font(32, true, "华文新魏"), "检查诊断报告"),
          label("Label8", {304, 33, 272, 19}, font(19, true), "示 范 市 人 民 医 院"),
          label("Label9", {304, 57, 280, 19}, font(19, true), "示范市人民医院医学影像中心"),
          label("Label3", {656, 91, 42, 21}, font(21), "急诊", false),
          label("Label5", {35, 16, 64, 15}, font(15, true), "修改医师", false),
          edit("Edit1", {107, 15, 124, 14}, font(16), "11111", false),
          label("Label7", {35, 48, 64, 15}, font(15, true), "修改日期", false),
          edit("Edit3", {107, 47, 124, 14}, font(16), "11111", false),
          label("Label26", {76, 126, 34, 16}, font(16, true), "姓名"),
          label("L_Name", {147, 127, 0, 0}, font(14)),
          line("Shape3", {108, 143, 81, 1}),
          label("Label41", {190, 126, 34, 16}, font(16, true), "性别"),
          label("L_Sex", {240, 127, 0, 0}, font(14)),
          line("Shape4", {221, 143, 35, 1}),
          label("Label27", {256, 126, 34, 16}, font(16, true), "年龄"),
          label("L_Old", {303, 127, 0, 0}, font(14)),
          line("Shape5", {287, 143, 38, 1}),
          label("Label29", {328, 127, 34, 16}, font(16, true), "科别"),
          label("L_Depart", {472, 127, 0, 0}, font(14)),
          line("Shape6", {362, 143, 218, 1}),
          label("Label25", {587, 126, 51, 16}, font(16, true), "影像号"),
          label("L_PatientID", {672, 127, 0, 0}, font(14)),
          line("Shape8", {634, 144, 92, 1}),
          label("Label37", {76, 151, 51, 16}, font(16, true), "住院号"),
          label("L_HispitalID", {146, 151, 0, 0}, font(14)),
          line("Shape9", {123, 167, 66, 1}),
          label("Label6", {190, 150, 34, 16}, font(16, true), "床号", false),
          label("L_BedID", {242, 151, 0, 0}, font(14), {}, false),
          line("Shape7", {220, 167, 47, 1}, 1, false),
          line("Shape10", {61, 170, 667, 3}, 2),
          line("Shape1", {61, 637, 667, 3}, 2),
          label("Label39", {61, 647, 68, 16}, font(16, true), "检查名称"),
          richEdit("RichEdit11", {135, 647, 402, 38}, font(16)),
          label("Label32", {578, 647, 68, 16}, font(16, true), "检查日期"),
          edit("Edit12", {652, 644, 75, 17}, font(16), "1111"),
          label("Label38", {61, 693, 68, 16}, font(16, true), "检查技术"),
          richEdit("RichEdit12", {135, 693, 586, 43}, font(16)),
          label("Label45", {61, 743, 68, 16}, font(16, true), "影像所见"),
          richEdit("RichEdit4", {135, 743, 536, 189}, font(16)),
          label("Label30", {61, 941, 68, 16}, font(16, true), "初步诊断"),
          richEdit("RichEdit5", {135, 941, 536, 80}, font(16)),
          label("Label2", {83, 1032, 48, 15}, font(15, true), "操作员", false),
          edit("Edit2", {139, 1031, 124, 14}, font(16), "111", false),
          label("Label33", {307, 1032, 64, 15}, font(15, true), "报告医师"),
          edit("Edit25", {379, 1031, 124, 14}, font(16), "11111"),
          label("Label34", {516, 1032, 64, 15}, font(15, true), "审核医师"),
          edit("Edit26", {587, 1031, 124, 14}, font(16), "11111"),
          line("Shape2", {61, 1055, 667, 3}, 2),
          label("Label1", {61, 1065, 336, 14}, font(14, false, kKai),
                "本报告仅供医师诊疗参考，对外不能代作证明书之用。"),
          label("Label4", {515, 1064, 64, 15}, font(15, true), "报告日期"),
          edit("Edit4", {587, 1063, 124, 14}, font(16), "11111"),
      }};
  return form;
}

}  // namespace risview::forms
