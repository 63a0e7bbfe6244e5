// What the nuclear-medicine and endoscopy pages share: the report-image statement, the image
// slots, the patient number, and the report pictures laid out in a band by their number, each
// fitted on whole pixels into its box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pages/prnt_page.h"

namespace risview::pages {

// The report pictures of one page edition, in ImageOrder.
std::string reportImagesStatement(std::string_view requisitionId, std::string_view reportId,
                                  int32_t editOrder);

// The number the header shows: the first of HospitalID, ClinicID and ExamID that is not
// empty, with its caption; none gives "住院号" and no number.
struct PatientNumber {
  std::string caption;
  std::string value;
};
PatientNumber patientNumber(const ReportRow& row);

// Sizes a picture to its shape within a box whose top-left corner the picture's rect holds,
// and centres it along its shorter side. The scale is held in single precision, so a 640 x
// 480 picture in a 448 box is 335 high, not 336.
void FitPictureToBox(model::Component& picture, int boxWidth, int boxHeight);

class TModalityPage : public TPrntPage {
 public:
  int ImageWidth = 0;
  int ImageHeight = 0;
  int ImageRowGap = 0;
  int ImageColumnGap = 0;
  int ImageIndex = 0;  // pictures placed so far
  int ImageCount = 0;  // picture rows found
  ImageSlots Images;

 protected:
  using TPrntPage::TPrntPage;

  // Runs the image query and places each picture of the edition on Paper, in ImageOrder. A
  // picture that cannot be shown ends the placing quietly: what was placed stays, the control
  // of the failing row is never shown, and the page is still built. An order without a slot
  // is left out, and no more pictures are placed than there are slots.
  void PlaceReportImages();
  // The layout for ImageCount pictures.
  virtual void chooseLayout() = 0;
  // Puts the picture at the top-left corner of box number ImageIndex.
  virtual void PositionImage(model::Component& image) = 0;
  // After a picture is fitted into its box.
  virtual void pictureFitted(const model::Component& /*image*/, int32_t /*order*/) {}
};

}  // namespace risview::pages
