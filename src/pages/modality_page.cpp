#include "pages/modality_page.h"

#include <exception>

namespace risview::pages {

std::string reportImagesStatement(std::string_view requisitionId, std::string_view reportId,
                                  int32_t editOrder) {
  return "Select ImageFileName,ImageOrder,ImageText from RIS_REPORT_IMG"
         "                         where RequisitionID =" +
         data::quoted(requisitionId) + " and ReportID =" + data::quoted(reportId) +
         " and EditOrder = " + std::to_string(editOrder) +
         "  and OnReport = 1  Order BY ImageOrder";
}

PatientNumber patientNumber(const ReportRow& row) {
  const std::string hospitalId = row.text("HospitalID");
  const std::string clinicId = row.text("ClinicID");
  const std::string examId = row.text("ExamID");
  if (!hospitalId.empty()) return {"住院号", hospitalId};
  if (!clinicId.empty()) return {"门诊号", clinicId};
  if (!examId.empty()) return {"体检号", examId};
  return {"住院号", ""};
}

// The centring works on the whole-pixel size just set.
void FitPictureToBox(model::Component& picture, int boxWidth, int boxHeight) {
  const int pw = picture.pictureWidth, ph = picture.pictureHeight;
  if (pw > ph) {
    const float scale = static_cast<float>(static_cast<double>(pw) / boxWidth);
    picture.rect.width = boxWidth;
    picture.rect.height = static_cast<int>(ph / static_cast<double>(scale));
    picture.rect.top += (boxHeight - picture.rect.height) / 2;
  } else {
    const float scale = static_cast<float>(static_cast<double>(ph) / boxHeight);
    picture.rect.height = boxHeight;
    picture.rect.width = static_cast<int>(pw / static_cast<double>(scale));
    picture.rect.left += (boxWidth - picture.rect.width) / 2;
  }
}

void TModalityPage::PlaceReportImages() {
  query_.close();
  query_.setSql(reportImagesStatement(RequisitionID, ReportID, EditOrder));
  try {
    query_.open();
    ImageCount = query_.recordCount();
    chooseLayout();
    ImageIndex = 0;
    // No more pictures than slots: rows that repeat an order cannot add controls without end.
    for (; !query_.eof() && ImageIndex < kImageSlots; query_.next()) {
      const int32_t order = query_.field("ImageOrder").asInteger();
      // An order without a slot is left out; the pictures after it close up.
      if (!hasSlot(order)) continue;
      model::Component& image =
          createPicture("ReportImage", query_.field("ImageFileName").asString());
      image.parent = "Paper";
      image.visible = true;
      image.stretch = true;
      PositionImage(image);
      FitPictureToBox(image, ImageWidth, ImageHeight);
      Images[order] = image.name;
      pictureFitted(image, order);
      ++ImageIndex;
    }
  } catch (const std::exception&) {
    // The rest of the pictures are left out.
  }
  query_.close();
}

}  // namespace risview::pages
