#include "forms/page_forms.h"
#include "forms/sheet_parts.h"

namespace risview::forms {

using namespace model;
using namespace sheet;

// The nuclear-medicine report page: a fixed title, a header of underlined values, a band for
// the report images between the hidden rules Shape10 and Shape1, the texts and the signature
// lines. Tag -1 marks the fixed captions. The two hospital-name lines are each site's own
// wording.
const FormDesc& nmPageForm() {
  static const FormDesc form = {
      .name = "NMPrntPage",
      .className = "TNMPrntPage",
      .caption = "NMPrntPage",
      .clientWidth = 958,
      .clientHeight = 693,
      .font = font(11, false, "MS Sans Serif"),
      .color = Color::of(Color::System::ButtonFace),
      .components = {
          scrollBox(),
          picture("Image1", "ScrollBox1", {1000, 979, 1, 25}),
          paper({102, 12, 794, 1123}, font(15, true)),
          label("Label8", {128, 41, 298, 21}, font(21, true), "示 范 市 人 民 医 院"),
          label("Label10", {128, 75, 308, 21}, font(21, true), "示范市人民医院核医学科"),
          label("Label3", {448, 50, 258, 29}, font(29, true), "核医学科ECT报告单"),
          label("Label2", {3, 8, 60, 14}, font(14, true), "修改医师", false, -1),
          edit("Edit1", {75, 7, 46, 14}, font(14, true), "11111", false, 15, false),
          label("Label14", {3, 24, 60, 14}, font(14, true), "修改日期", false, -1),
          edit("Edit3", {75, 23, 46, 14}, font(14, true), "11111", false, 15, false),
          label("Label26", {76, 109}, font(16, true), "姓名", true, -1),
          label("L_Name", {112, 110}, font(14)),
          line("Shape3", {108, 126, 81, 1}),
          label("Label41", {190, 109}, font(16, true), "性别", true, -1),
          label("L_Sex", {228, 110}, font(14)),
          line("Shape4", {221, 126, 35, 1}),
          label("Label27", {256, 109}, font(16, true), "年龄", true, -1),
          label("L_Old", {299, 110}, font(14)),
          line("Shape5", {287, 126, 38, 1}),
          label("Label29", {328, 110}, font(16, true), "科别", true, -1),
          label("L_Depart", {375, 110}, font(14)),
          line("Shape6", {362, 126, 218, 1}),
          label("Label25", {587, 109}, font(16, true), "影像号", true, -1),
          label("L_PatientID", {679, 110}, font(16)),
          line("Shape8", {634, 127, 92, 1}),
          label("Label37", {76, 135}, font(16, true), "住院号", true, -1),
          label("L_HispitalID", {135, 135}, font(14)),
          line("Shape9", {123, 151, 66, 1}),
          label("Label6", {190, 134}, font(16, true), "床号"),
          label("L_BedID", {230, 135}, font(14)),
          line("Shape7", {220, 151, 47, 1}),
          label("Label12", {276, 134}, font(16, true), "临床诊断"),
          label("Label13", {374, 135}, font(14)),
          line("Shape13", {347, 151, 379, 1}),
          line("Shape10", {56, 154, 683, 3}, 2, false),
          line("Shape1", {53, 605, 683, 3}, 2, false),
          label("Label5", {76, 615}, font(16, true), "检查技术", true, -1),
          label("Label11", {151, 615}, font(16)),
          label("Label7", {534, 615}, font(16, true), "检查名称"),
          label("Label9", {609, 615}, font(16)),
          label("Label45", {76, 647}, font(16, true), "影像所见", true, -1),
          richEdit("RichEdit4", {150, 647, 548, 189}, font(16), 13, true),
          label("Label30", {76, 853}, font(16, true), "初步诊断", true, -1),
          richEdit("RichEdit5", {150, 853, 548, 164}, font(16), 14, true),
          label("Label33", {307, 1032}, font(15, true), "报告医师", true, -1),
          label("Label15", {384, 1032}, font(16)),
          label("Label34", {516, 1032}, font(15, true), "审核医师", true, -1),
          label("Label16", {592, 1032}, font(16)),
          line("Shape2", {61, 1055, 667, 3}, 2),
          label("Label1", {61, 1065, 288, 12}, font(12, false, kKai),
                "本报告仅供医师诊疗参考，对外不能代作证明书之用。"),
          label("Label4", {515, 1064}, font(15, true), "报告日期", true, -1),
          edit("Edit4", {587, 1063, 124, 14}, font(16), "11111", true, 15, false),
      }};
  return form;
}

}  // namespace risview::forms
