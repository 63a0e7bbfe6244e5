// The nuclear-medicine report page (department 5), and what the endoscopy page shares with it:
// the report-image statement, the image slots, the patient number and the fitting of a
// picture into its box.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "pages/prnt_page.h"

namespace risview::pages {

// Report pictures and the controls made for them, by ImageOrder (or tag number): the names of
// their components, empty where there is none. Numbers outside 0 to 254 have no slot.
inline constexpr int kImageSlots = 255;
using ImageSlots = std::array<std::string, kImageSlots>;
inline bool hasSlot(int32_t number) {
  return number >= 0 && number < kImageSlots;
}

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
void FitPictureToBox(ui::Component& picture, int boxWidth, int boxHeight);

class TNMPrntPage : public TPrntPage {
 public:
  // Builds the whole page from the current row of the report query.
  TNMPrntPage(const data::Query& row, PageContext& context);

  const char* className() const override { return "TNMPrntPage"; }

  // How the report pictures share the band between Shape10 and Shape1, by their number.
  enum class ImageLayout {
    None,
    Single,  // one 448 box
    Pair,    // two 340 boxes side by side; the findings move up to make room
    Grid,    // three or four 224 boxes, two columns
    Many,    // five or more: as many columns as give the largest boxes within the band
  };

  ImageLayout Layout = ImageLayout::None;
  int ImageWidth = 0;
  int ImageHeight = 0;
  int ImageRowGap = 0;
  int ImageColumnGap = 0;
  int ImageColumns = 0;  // the Many layout's
  int ImageIndex = 0;    // pictures placed so far
  int ImageCount = 0;    // picture rows found
  ImageSlots Images;

 private:
  void build(const ReportRow& row);
  // Returns false when building stops here with the page kept.
  bool fillSignatures();
  void PlaceReportImages();
  void chooseLayout();
  void PositionImage(ui::Component& image);
};

}  // namespace risview::pages
