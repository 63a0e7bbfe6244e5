#include "pages/general_page.h"

#include <exception>
#include <stdexcept>
#include <vector>

#include "content/age_text.h"
#include "content/page_foot.h"
#include "content/signatures.h"
#include "forms/page_forms.h"
#include "platform/text.h"

namespace risview::pages {

namespace {

constexpr std::string_view kImagesStatement =
    "Select ImageFileName from RIS_REPORT_IMG                        where RequisitionID =";

// Header and foot of a continuation sheet repeat the first sheet's controls above the
// header rule and from just above the signature line down.
constexpr int kFootAllowance = 10;
constexpr int kSheetGap = 20;
constexpr int kScrollPerSheet = 1200;

std::string sexText(const std::string& code) {
  if (code == "M") return "男";
  if (code == "F") return "女";
  return "不祥";
}

}  // namespace

TMyPrntPage::TMyPrntPage(const data::Query& row, PageContext& context)
    : TPrntPage(forms::generalPageForm(), context) {
  fillGuarded([&] { build(ReportRow(row)); });
}

void TMyPrntPage::build(const ReportRow& row) {
  keepKeys(row);
  CurrentModality = row.text("Modality");

  fillPatientLine(row);
  fillNumberLine(row);

  const std::string emergency = row.text("Emergency");
  content::PageFoot foot =
      content::LoadPageFoot(content::PageKind::General, context_.services.env, emergency);
  model_.at("Label1").caption = foot.text;
  model_.hide("Label3");
  const bool urgent = content::IsEmergency(emergency);

  model_.at("RichEdit11").caption = row.text("EaxmDesc");
  model_.at("Edit12").caption = row.text("Examdate");
  model_.at("RichEdit12").caption = row.text("EaxmTechnic");
  model_.at("RichEdit4").caption = row.text("ImageFinding");
  model_.at("RichEdit5").caption = row.text("Impression");

  if (!fillSignatures(urgent)) return;

  if (CurrentModality == "OT") relayoutForOT();
  for (const char* name :
       {"RichEdit11", "Edit12", "RichEdit12", "RichEdit4", "RichEdit5", "Edit25", "Edit26"}) {
    auto& c = model_.at(name);
    c.enabled = true;
    c.readOnly = true;
  }
  setLabel("Label24", "影像科检查诊断报告");
  for (const char* name : {"Label24", "Label8", "Label9"}) model_.centreOn(name, "Paper");
  if (CurrentModality == "XA") relayoutForXA();

  PlaceReportImages();
}

void TMyPrntPage::fillPatientLine(const ReportRow& row) {
  setValue("L_Name", row.text("PTN_NAME"), "Shape3");
  setValue("L_Sex", sexText(row.text("SEX")), "Shape4");
  setValue("L_Old", content::AgeText(row.text("BIRTH"), context_.services), "Shape5");
  setValue("L_PatientID", row.text("PATIENT_ID"), "Shape8");
  setValue("L_BedID", row.text("SickbedID"), "Shape7");
  setValue("L_Depart", row.text("ReqDepartment"), "Shape6");
}

void TMyPrntPage::fillNumberLine(const ReportRow& row) {
  const std::string hospitalId = row.text("HospitalID");
  const std::string clinicId = row.text("ClinicID");
  if (!hospitalId.empty()) {
    setLabel("Label37", "住院号");
    setValue("L_HispitalID", hospitalId, "Shape9");
    if (!trim(model_.at("L_BedID").caption).empty()) {
      for (const char* name : {"Label6", "L_BedID", "Shape7"}) model_.show(name);
    }
  } else if (!clinicId.empty()) {
    setLabel("Label37", "门诊号");
    setValue("L_HispitalID", clinicId, "Shape9");
    for (const char* name : {"Label6", "L_BedID", "Shape7"}) model_.hide(name);
  } else {
    for (const char* name : {"Label37", "L_HispitalID", "Shape9", "Label6", "L_BedID", "Shape7"}) {
      model_.hide(name);
    }
  }
}

bool TMyPrntPage::fillSignatures(bool emergency) {
  content::SignatureResult result =
      content::FillSignatures(content::PageKind::General, query_, RequisitionID, EditOrder,
                              emergency, context_.services.locale);
  return showSignatures(result, {.reportPhysicians = "Edit25",
                                 .auditPhysicians = "Edit26",
                                 .reportDate = "Edit4",
                                 .technicians = "Edit2",
                                 .revisionShown = {"Edit1", "Edit3", "Label5", "Label7"},
                                 .revisionUser = "Edit1",
                                 .revisionDate = "Edit3"});
}

void TMyPrntPage::relayoutForOT() {
  for (const char* name : {"Label38", "Label39", "RichEdit12", "RichEdit11", "Label32", "Edit12"}) {
    model_.hide(name);
  }
  model_.at("Label45").rect.top = model_.at("Label39").rect.top;
  auto& findings = model_.at("RichEdit4");
  findings.rect.top = model_.at("RichEdit11").rect.top;
  findings.rect.height += 96;
  setLabel("Label45", "检查所见");
}

void TMyPrntPage::relayoutForXA() {
  auto& m = model_;
  const model::Rect& rule = m.at("Shape10").rect;
  int top = rule.top + rule.height + 16;
  for (const char* name : {"Label39", "RichEdit11", "Label32", "Edit12"}) m.at(name).rect.top = top;
  top = m.at("Label39").rect.bottom() + 20;
  m.at("Label38").rect.top = top;
  m.at("RichEdit12").rect.top = top;
  m.at("RichEdit12").rect.height = 52;
  top = m.at("RichEdit12").rect.bottom() + 10;
  m.at("Label45").rect.top = top;
  m.at("RichEdit4").rect.top = top;
  m.at("RichEdit4").rect.height = 420;
  top = m.at("RichEdit4").rect.bottom() + 10;
  m.at("Label30").rect.top = top;
  m.at("RichEdit5").rect.top = top;
  // The diagnosis keeps its place; the findings box gives up the gap above it.
  m.at("RichEdit4").rect.height = 330;
  m.hide("Shape1");
  ImageCellSize = 380;
  ImageRowGap = 1;
  ImageColumnGap = 10;
}

// Report images: four cells on the first sheet, six on each continuation sheet. A file
// that cannot be shown ends the placing quietly; what was placed stays and the page is
// still shown.
void TMyPrntPage::PlaceReportImages() {
  query_.close();
  query_.setSql(std::string(kImagesStatement) + data::quoted(RequisitionID) +
                " and ReportID =" + data::quoted(ReportID) +
                " and EditOrder = " + std::to_string(EditOrder) + " Order BY ImageOrder");
  try {
    query_.open();
    ImageCount = 0;
    for (int i = 0; !query_.eof() && i < kMaxImages; ++i, query_.next()) {
      // The picture's control is made first: one that cannot be read stays, never shown.
      model::Component& placed = createPicture("Image", query_.field("ImageFileName").asString());
      ++ImageCount;
      placed.parent = PanelForImage(i);
      placed.visible = true;
      placed.stretch = true;
      PositionImage(placed, i);
      FitImageToCell(placed);
    }
  } catch (const std::exception&) {
    // The control of the failing row stays without a sheet and is never shown.
  }
  query_.close();
}

// The sheet of image number index: the first four on Paper, then six on each continuation
// sheet; every XA image goes to the continuation sheets, two to a sheet, since one 380
// cell fills the width.
std::string TMyPrntPage::PanelForImage(int index) {
  int sheetNumber = 0;
  if (CurrentModality == "XA") {
    sheetNumber = index / 2 + 1;
  } else if (index > 3) {
    sheetNumber = (index - 4) / 6 + 1;
  }
  if (sheetNumber == 0) return "Paper";
  std::string name = "Paper" + std::to_string(sheetNumber);
  if (const model::Component* found = model_.find(name);
      found && found->kind == model::Kind::Panel) {
    return name;
  }
  model::Component sheet = model_.at("Paper");
  sheet.name = name;
  sheet.caption = " ";
  sheet.rect.top += sheetNumber * (sheet.rect.height + kSheetGap);
  model_.create(std::move(sheet));
  CopyPaperFrame(name);
  model_.at("ScrollBox1").scrollRange.vertical = (sheetNumber + 1) * kScrollPerSheet;
  return name;
}

void TMyPrntPage::CopyPaperFrame(const std::string& sheet) {
  const int headerLimit = model_.at("Shape10").rect.top;
  const int footLimit = model_.at("Label33").rect.top;
  // Creating the copies moves no original (the model only appends).
  for (const model::Component* original : model_.children("Paper")) {
    const model::Component& c = *original;
    const int top = c.rect.top;
    const bool inFrame = top <= headerLimit || top >= footLimit - kFootAllowance;
    model::Component copy{.name = sheet + "_" + c.name,
                          .kind = c.kind,
                          .parent = sheet,
                          .rect = c.rect,
                          .caption = c.caption,
                          .font = c.font};
    switch (c.kind) {
      case model::Kind::Label:
        if (!c.visible || !inFrame) continue;
        copy.autoSize = c.autoSize;
        copy.transparent = c.transparent;
        break;
      case model::Kind::Edit:
        if (!c.visible || !inFrame) continue;
        break;
      case model::Kind::RichEdit:
        if (!inFrame) continue;
        copy.color = model::Color::of(model::Color::System::Window);
        break;
      case model::Kind::Shape:
        // No allowance for shapes, and a hidden one becomes a visible line.
        if (top > headerLimit && top < footLimit) continue;
        copy.penWidth = c.penWidth;
        break;
      default:
        continue;
    }
    model_.create(std::move(copy));
  }
}

void TMyPrntPage::PositionImage(model::Component& image, int index) {
  const int c = ImageCellSize;
  const model::Rect& rule = model_.at("Shape10").rect;
  int baseTop = rule.top + rule.height + 6 + 10;
  int row = 0, column = 0;
  if (CurrentModality == "XA") {
    // One column of two cells per sheet: the second column would run off the sheet.
    row = index % 2;
  } else {
    int slot = index;
    if (index >= 4) {
      baseTop = 180;
      slot = (index - 4) % 6;
    }
    row = slot / 2;
    column = slot % 2;
  }
  image.rect.top = baseTop + row * (c + ImageRowGap);
  image.rect.left = 130 + column * (c + ImageColumnGap);
  image.rect.width = c;
  image.rect.height = c;
}

// The picture fills its cell along its longer side and sits in the middle along the other.
// The ratio is held in single precision and the rest worked out in double, so a 400 x 300
// picture in a 220 cell is 164 high, not 165.
void TMyPrntPage::FitImageToCell(model::Component& image) const {
  const double c = ImageCellSize;
  const int w = image.pictureWidth, h = image.pictureHeight;
  if (w > h) {
    const float ratio = static_cast<float>(double(w) / h);
    const double side = c / ratio;
    image.rect.width = ImageCellSize;
    image.rect.height = static_cast<int>(side);
    image.rect.top += static_cast<int>((c - side) * 0.5);
  } else {
    const float ratio = static_cast<float>(double(h) / w);
    const double side = c / ratio;
    image.rect.height = ImageCellSize;
    image.rect.width = static_cast<int>(side);
    image.rect.left += static_cast<int>((c - side) * 0.5);
  }
}

void TMyPrntPage::PaperMouseDown(int y) {
  DragCounter = 1;
  DragLastY = y;
}

std::optional<int> TMyPrntPage::PaperMouseMove(int y, int scrollPosition) {
  if (DragCounter == 0) return std::nullopt;
  if (++DragCounter < 10) return std::nullopt;
  DragCounter = 1;
  const int move = y - DragLastY;
  DragLastY = y;
  return scrollPosition - move;
}

void TMyPrntPage::PaperMouseUp() {
  DragCounter = 0;
}

}  // namespace risview::pages
