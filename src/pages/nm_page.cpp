#include "pages/nm_page.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "content/age_text.h"
#include "content/page_foot.h"
#include "content/signatures.h"
#include "forms/page_forms.h"

namespace risview::pages {

namespace {

// The band's boxes by picture count; the Many layout never grows a box beyond the grid's.
constexpr int kSingleBox = 448, kPairBox = 340, kGridBox = 224;
constexpr int kPairGap = 3, kGridRowGap = 1, kGridColumnGap = 35;
constexpr int kManyRowGap = 1, kManyColumnGap = 10;
// Each picture of a pair gives the findings this much of the band back.
constexpr int kPairFindingsShift = 50;

}  // namespace

TNMPrntPage::TNMPrntPage(const data::Query& row, PageContext& context)
    : TModalityPage(forms::nmPageForm(), context) {
  fillGuarded([&] { build(ReportRow(row)); });
}

void TNMPrntPage::build(const ReportRow& row) {
  keepKeys(row);

  setValue("L_Name", row.text("PTN_NAME"), "Shape3");
  setValue("L_Sex", row.text("SEX"), "Shape4");
  setValue("L_Old", content::AgeText(row.text("BIRTH"), context_.services), "Shape5");
  setValue("L_PatientID", row.text("PATIENT_ID"), "Shape8");
  PatientNumber number = patientNumber(row);
  setLabel("Label37", std::move(number.caption));
  setValue("L_HispitalID", std::move(number.value), "Shape9");
  setValue("L_Depart", row.text("ReqDepartment"), "Shape6");
  setValue("L_BedID", row.text("SickbedID"), "Shape7");
  setLabel("Label13", row.text("ClinicalDiagnosis"));
  model_.at("Label13").rect.left = model_.at("Shape13").rect.left + 5;

  PlaceReportImages();

  setLabel("Label11", row.text("EaxmTechnic"));
  setLabel("Label9", row.text("EaxmDesc"));
  model_.at("RichEdit4").caption = row.text("ImageFinding");
  model_.at("RichEdit5").caption = row.text("Impression");

  if (!fillSignatures()) return;

  for (const char* name : {"RichEdit4", "RichEdit5", "Edit4"}) {
    auto& c = model_.at(name);
    c.enabled = true;
    c.readOnly = true;
  }
  model_.at("Label1").caption =
      content::LoadPageFoot(content::PageKind::NuclearMedicine, context_.services.env, {}).text;
}

bool TNMPrntPage::fillSignatures() {
  content::SignatureResult result =
      content::FillSignatures(content::PageKind::NuclearMedicine, query_, RequisitionID, EditOrder,
                              false, context_.services.locale);
  return showSignatures(result, {.reportPhysicians = "Label15",
                                 .auditPhysicians = "Label16",
                                 .reportDate = "Edit4",
                                 .technicians = "",
                                 .revisionShown = {"Label2", "Label14", "Edit1", "Edit3"},
                                 .revisionUser = "Edit1",
                                 .revisionDate = "Edit3"});
}

void TNMPrntPage::chooseLayout() {
  if (ImageCount == 1) {
    Layout = ImageLayout::Single;
    ImageWidth = ImageHeight = kSingleBox;
  } else if (ImageCount == 2) {
    Layout = ImageLayout::Pair;
    ImageWidth = ImageHeight = kPairBox;
    ImageColumnGap = kPairGap;
  } else if (ImageCount == 3 || ImageCount == 4) {
    Layout = ImageLayout::Grid;
    ImageWidth = ImageHeight = kGridBox;
    ImageRowGap = kGridRowGap;
    ImageColumnGap = kGridColumnGap;
  } else if (ImageCount > 4) {
    // The largest square boxes that let every picture stand in the band, trying each
    // number of columns; never smaller than a pixel, so fitting never divides by zero.
    Layout = ImageLayout::Many;
    ImageRowGap = kManyRowGap;
    ImageColumnGap = kManyColumnGap;
    const model::Rect& top = model_.at("Shape10").rect;
    const int bandHeight = model_.at("Shape1").rect.top - top.bottom();
    int best = 0;
    for (int columns = 1; columns <= ImageCount; ++columns) {
      const int rows = (ImageCount + columns - 1) / columns;
      const int box = std::min({kGridBox, (top.width - (columns - 1) * ImageColumnGap) / columns,
                                (bandHeight - (rows - 1) * ImageRowGap) / rows});
      if (box > best) {
        best = box;
        ImageColumns = columns;
      }
    }
    if (best < 1) {
      best = 1;
      ImageColumns = std::max(1, (top.width + ImageColumnGap) / (1 + ImageColumnGap));
    }
    ImageWidth = ImageHeight = best;
  }
}

void TNMPrntPage::PositionImage(model::Component& image) {
  const model::Rect band = model_.at("Shape10").rect;
  const int top = band.bottom();
  const int i = ImageIndex;
  switch (Layout) {
    case ImageLayout::Single:
      image.rect.top = top;
      image.rect.left = band.left + 118;
      break;
    case ImageLayout::Pair: {
      image.rect.top = top;
      image.rect.left = band.left + (i % 2) * (ImageWidth + ImageColumnGap);
      model_.at("Label45").rect.top -= kPairFindingsShift;
      model::Rect& findings = model_.at("RichEdit4").rect;
      findings.top -= kPairFindingsShift;
      findings.height += kPairFindingsShift;
      break;
    }
    case ImageLayout::Grid:
      image.rect.top = top + (i / 2) * (ImageHeight + ImageRowGap);
      image.rect.left = band.left + 100 + (i % 2) * (ImageWidth + ImageColumnGap);
      break;
    case ImageLayout::Many: {
      const int gridWidth = ImageColumns * ImageWidth + (ImageColumns - 1) * ImageColumnGap;
      image.rect.top = top + (i / ImageColumns) * (ImageHeight + ImageRowGap);
      image.rect.left = band.left + (band.width - gridWidth) / 2 +
                        (i % ImageColumns) * (ImageWidth + ImageColumnGap);
      break;
    }
    case ImageLayout::None:
      break;
  }
}

}  // namespace risview::pages
