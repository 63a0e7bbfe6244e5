// The nuclear-medicine report page (department 5).
#pragma once

#include "pages/modality_page.h"

namespace risview::pages {

class TNMPrntPage : public TModalityPage {
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
  int ImageColumns = 0;  // the Many layout's

 private:
  void build(const ReportRow& row);
  // Returns false when building stops here with the page kept.
  bool fillSignatures();
  void chooseLayout() override;
  void PositionImage(model::Component& image) override;
};

}  // namespace risview::pages
