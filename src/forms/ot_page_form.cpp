#include "forms/page_forms.h"
#include "forms/sheet_parts.h"

namespace risview::forms {

using namespace model;
using namespace sheet;

namespace {

constexpr uint32_t kBlue = 0xFF0000;  // 0x00BBGGRR

ComponentDesc transparent(ComponentDesc c) {
  c.transparent = true;
  return c;
}

}  // namespace

// The endoscopy report page: centred hospital lines and title, a header of underlined values,
// the device's tag picture beside the findings, the image band below the hidden rule Shape10,
// the diagnosis, pathology and advice boxes and the signature lines. Tag -1 marks the fixed
// captions. The two hospital-name lines are each site's own wording.
const FormDesc& otPageForm() {
  static const FormDesc form = {
      .name = "OTPrntPage",
      .className = "TOTPrntPage",
      .caption = "OTPrntPage",
      .clientWidth = 961,
      .clientHeight = 701,
      .font = font(11, false, "MS Sans Serif"),
      .color = Color::of(Color::System::ButtonFace),
      .components = {
          scrollBox(),
          picture("Image1", "ScrollBox1", {1000, 979, 1, 25}),
          paper({104, 12, 777, 1099}, font(16)),
          label("Label4", {241, 39, 298, 21}, font(21, true, kSong, kBlue), "示 范 市 人 民 医 院"),
          label("Label10", {241, 65, 294, 20}, font(20, true, kSong, kBlue),
                "示范市人民医院内镜中心"),
          transparent(label("Label24", {265, 92, 200, 24}, font(24, true), "窥镜检查诊断报告")),
          label("Label3", {622, 96, 42, 21}, font(21), "急诊"),
          label("Label26", {76, 129}, font(16), "姓名", true, -1),
          label("L_Name", {137, 128}, font(14)),
          line("Shape3", {108, 146, 79, 1}),
          label("Label41", {206, 129}, font(16), "性别", true, -1),
          label("L_Sex", {243, 128}, font(14)),
          line("Shape4", {238, 146, 25, 1}),
          label("Label27", {281, 129}, font(16), "年龄", true, -1),
          label("L_Old", {316, 128}, font(14)),
          line("Shape5", {313, 146, 31, 1}),
          label("Label29", {365, 130}, font(16), "科别", true, -1),
          label("L_Depart", {424, 130}, font(14)),
          line("Shape6", {395, 146, 147, 1}),
          label("Label25", {566, 129}, font(16), "影像号", true, -1),
          label("L_ID", {620, 128}, font(14)),
          line("Shape8", {614, 147, 77, 1}),
          label("Label7", {75, 158}, font(16), "镜型", true, -1),
          label("Label5", {114, 158}, font(14)),
          line("Shape9", {108, 175, 111, 1}),
          label("Label12", {248, 158}, font(16), "病理号", true, -1),
          label("Label11", {302, 158}, font(14)),
          line("Shape12", {296, 175, 97, 1}),
          label("Label6", {415, 158}, font(16), "床号"),
          label("L_BedID", {448, 158}, font(14)),
          line("Shape7", {447, 175, 98, 1}),
          label("Label37", {566, 158}, font(16), "住院号", true, -1),
          label("L_InID", {618, 158}, font(14)),
          line("Shape11", {614, 175, 77, 1}),
          line("Shape1", {52, 189, 651, 3}, 2),
          label("Label45", {77, 209}, font(16), "镜检所见：", true, -1),
          picture("Image_Flag", "Paper", {48, 235, 97, 120}, false, true, true),
          richEdit("RichEdit4", {148, 208, 548, 153}, font(16), 13),
          line("Shape10", {52, 363, 651, 3}, 2, false),
          line("Shape13", {52, 743, 651, 3}, 2, false),
          label("Label30", {74, 760}, font(16), "内镜诊断：", true, -1),
          richEdit("RichEdit5", {148, 760, 548, 97}, font(16), 14, true),
          label("Label13", {74, 864}, font(16), "活检部位：", true, -1),
          richEdit("RichEdit1", {148, 864, 548, 17}, font(16), 14, true),
          label("Label14", {74, 891}, font(16), "病理报告：", true, -1),
          richEdit("RichEdit2", {148, 891, 548, 54}, font(16), 14, true),
          label("Label15", {74, 941}, font(16), "建    议：", true, -1),
          richEdit("RichEdit3", {148, 941, 548, 36}, font(16), 14, true),
          label("Label8", {86, 995}, font(16), "修改医师：", false, -1),
          edit("Edit2", {169, 991, 105, 16}, font(16), "11111", false, 15, false),
          label("Label33", {326, 995}, font(16), "报告医师：", true, -1),
          edit("Edit25", {409, 991, 105, 16}, font(16), "11111", true, 15, false),
          label("Label32", {516, 995}, font(16), "医师签名：", true, -1),
          edit("Edit1", {597, 991, 87, 16}, font(16), {}, true, 9, true, true),
          label("Label9", {86, 1019}, font(16), "修改日期：", false, -1),
          edit("Edit3", {169, 1015, 87, 16}, font(16), {}, false, 9, true, true),
          label("Label2", {326, 1019}, font(16), "检查日期：", true, -1),
          edit("Edit12", {409, 1015, 87, 16}, font(16), {}, true, 9, true, true),
          line("Shape2", {52, 1038, 651, 3}, 2),
          label("Label1", {78, 1048, 288, 12}, font(12),
                "本报告仅供医师诊疗参考，对外不能代作证明书之用。"),
      }};
  return form;
}

}  // namespace risview::forms
