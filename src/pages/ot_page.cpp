#include "pages/ot_page.h"

#include <exception>
#include <stdexcept>
#include <string_view>

#include "content/age_text.h"
#include "content/page_foot.h"
#include "content/signatures.h"
#include "forms/page_forms.h"
#include "platform/text.h"

namespace risview::pages {

namespace {

struct Title {
  std::string_view modalityAE, title;
};
// Matched exactly and in full: a device name with a trailing blank keeps the form's title.
constexpr Title kTitles[] = {
    {"胃镜", "电子胃镜检查诊断报告"},
    {"肠镜", "电子肠镜检查诊断报告"},
    {"十二指肠镜", "十二指肠镜检查诊断报告"},
    {"小肠镜", "小肠镜检查诊断报告"},
};

// A line of the growing boxes, and the room kept between a grown box and what follows it.
constexpr int kLineStep = 21;
constexpr int kFollowerGap = 2;

// Up to four pictures take one row of the band; what stands below moves up into the rest.
constexpr int kOneRowShift = 150;
constexpr int kOneRowDiagnosisGrowth = 84;
constexpr int kOneRowPathologyGrowth = 66;

// Captions are 10 points at 96 pixels per inch, on white.
constexpr int kCaptionHeight = 13;

}  // namespace

TOTPrntPage::TOTPrntPage(const data::Query& row, PageContext& context)
    : TModalityPage(forms::otPageForm(), context) {
  ImageWidth = ImageHeight = 150;
  ImageRowGap = 1;
  ImageColumnGap = 20;
  fillGuarded([&] { build(ReportRow(row)); });
}

void TOTPrntPage::build(const ReportRow& row) {
  model_.centreOn("Label4", "Paper");
  model_.centreOn("Label10", "Paper");
  keepKeys(row);

  setValue("L_Name", row.text("PTN_NAME"), "Shape3");
  setValue("L_Sex", row.text("SEX"), "Shape4");
  setValue("L_Old", content::AgeText(row.text("BIRTH"), context_.services), "Shape5");
  setValue("L_ID", row.text("PATIENT_ID"), "Shape8");
  PatientNumber number = patientNumber(row);
  setLabel("Label37", std::move(number.caption));
  setValue("L_InID", std::move(number.value), "Shape11");
  setValue("L_Depart", row.text("ReqDepartment"), "Shape6");
  setValue("L_BedID", row.text("SickbedID"), "Shape7");
  setValue("Label5", row.text("EndoscopyType"), "Shape9");
  setValue("Label11", row.text("PathologicID"), "Shape12");

  const std::string emergency = row.text("Emergency");
  if (!content::IsEmergency(emergency)) model_.hide("Label3");

  const std::string modalityAE = row.text("ModalityAE");
  loadTagPicture(modalityAE, row.text("Modality"));
  for (const Title& t : kTitles) {
    if (t.modalityAE == modalityAE) setLabel("Label24", std::string(t.title));
  }
  model_.centreOn("Label24", "Paper");

  model_.at("Edit12").caption = row.text("Examdate");
  model_.at("RichEdit4").caption = row.text("ImageFinding");
  grow("RichEdit4", "Shape10");

  PlaceReportImages();
  PlaceTagImages();

  model_.at("RichEdit5").caption = row.text("Impression");
  grow("RichEdit5", "Label13");
  model_.at("RichEdit1").rect.top = model_.at("Label13").rect.top;
  model_.at("RichEdit1").caption = row.text("PathologicPart");
  model_.at("RichEdit2").caption = row.text("PathologicReport");
  model_.at("RichEdit3").caption = row.text("Advice");

  if (!fillSignatures()) return;

  for (const char* name : {"Edit12", "RichEdit4", "RichEdit5", "Edit25"}) {
    auto& c = model_.at(name);
    c.enabled = true;
    c.readOnly = true;
  }
  model_.at("Label1").caption =
      content::LoadPageFoot(content::PageKind::Endoscopy, context_.services.env, emergency).text;
}

// The device's picture beside the findings, from the modality table. A query that fails or a
// named file that cannot be shown fails the page.
void TOTPrntPage::loadTagPicture(const std::string& modalityAE, const std::string& modality) {
  query_.close();
  query_.setSql("select * from PacsModality where ModalityName = " + data::quoted(modalityAE) +
                " and ModalityRemark = " + data::quoted(modality));
  query_.open();
  if (query_.eof()) return;
  const std::string file = trimmed(query_.field("TagImage").asString());
  if (file.empty()) return;
  const pictures::PictureInfo info = pictureInfo(file);
  model::Component& flag = model_.at("Image_Flag");
  flag.file = file;
  flag.pictureWidth = info.width;
  flag.pictureHeight = info.height;
  flag.stretch = true;
  flag.visible = true;
}

void TOTPrntPage::grow(const char* box, const char* follower) {
  model::Component& b = model_.at(box);
  const int lines = context_.metrics.lineCount(b.font, b.caption, b.rect.width);
  if (lines * kLineStep <= b.rect.height) return;
  b.rect.height = lines * kLineStep;
  model_.at(follower).rect.top = b.rect.bottom() + kFollowerGap;
}

bool TOTPrntPage::fillSignatures() {
  content::SignatureResult result =
      content::FillSignatures(content::PageKind::Endoscopy, query_, RequisitionID, EditOrder, false,
                              context_.services.locale);
  return showSignatures(result, {.reportPhysicians = "Edit25",
                                 .auditPhysicians = "",
                                 .reportDate = "",
                                 .technicians = "",
                                 .revisionShown = {"Edit2", "Edit3", "Label8", "Label9"},
                                 .revisionUser = "Edit2",
                                 .revisionDate = "Edit3"});
}

void TOTPrntPage::chooseLayout() {
  if (ImageCount <= 4) {
    Layout = ImageLayout::OneRow;
    for (const char* name :
         {"Shape13", "Label30", "RichEdit5", "Label13", "RichEdit1", "Label14", "RichEdit2"}) {
      model_.at(name).rect.top -= kOneRowShift;
    }
    model_.at("RichEdit5").rect.height += kOneRowDiagnosisGrowth;
    model_.at("RichEdit2").rect.height += kOneRowPathologyGrowth;
  } else if (ImageCount <= 6) {
    Layout = ImageLayout::ThreeAcross;
  } else {
    Layout = ImageLayout::FourAcross;
  }
}

void TOTPrntPage::PositionImage(model::Component& image) {
  const model::Rect band = model_.at("Shape10").rect;
  const int top = band.bottom() + 10;
  const int i = ImageIndex;
  switch (Layout) {
    case ImageLayout::OneRow: {
      const int rowWidth = (ImageCount - 1) * ImageColumnGap + ImageWidth * ImageCount;
      image.rect.top = top;
      image.rect.left =
          band.left + (band.width - rowWidth) / 2 + (i % 4) * (ImageWidth + ImageColumnGap);
      break;
    }
    case ImageLayout::ThreeAcross:
      ImageColumnGap = 49;
      ImageRowGap = 20;
      image.rect.top = top + (i / 3) * (ImageHeight + ImageRowGap);
      image.rect.left = band.left + 48 + (i % 3) * (ImageWidth + ImageColumnGap);
      break;
    case ImageLayout::FourAcross:
      ImageRowGap = 20;
      image.rect.top = top + (i / 4) * (ImageHeight + ImageRowGap);
      image.rect.left = band.left + 10 + (i % 4) * (ImageWidth + ImageColumnGap);
      break;
    case ImageLayout::None:
      break;
  }
}

// The caption of the image row being placed, sized in its own small font before it is
// centred, so it stands in the middle of the picture's width.
void TOTPrntPage::pictureFitted(const model::Component& image, int32_t order) {
  const std::string text = query_.field("ImageText").asString();
  model::Font font = model_.at("Paper").font;
  font.height = kCaptionHeight;
  const std::string name = model_.uniqueName("ImageCaption");
  model_.create({.name = name,
                 .kind = model::Kind::Label,
                 .parent = "Paper",
                 .font = font,
                 .color = model::Color::fromRgb(255, 255, 255),
                 .autoSize = true});
  setLabel(name, trimmed(text));
  model::Rect& rect = model_.at(name).rect;
  rect.left = image.rect.left + (image.rect.width - rect.width) / 2;
  rect.top = image.rect.bottom();
  ImageCaptions[order] = name;
}

}  // namespace risview::pages
