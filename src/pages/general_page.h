// The general report page: every request whose department has no layout of its own.
#pragma once

#include <string>

#include "pages/prnt_page.h"

namespace risview::pages {

class TMyPrntPage : public TPrntPage {
 public:
  // Builds the whole page from the current row of the report query.
  TMyPrntPage(const data::Query& row, PageContext& context);

  const char* className() const override { return "TMyPrntPage"; }

  // Drag-scrolling: while a button is held, every ninth move scrolls the sheet along.
  void PaperMouseDown(int y) override;
  std::optional<int> PaperMouseMove(int y, int scrollPosition) override;
  void PaperMouseUp() override;

  // The report images' cells. Each page keeps its own: they are set at the start of
  // building and read only while the same page is built, so per-page values give the
  // results one shared set would.
  std::string CurrentModality;
  int ImageCellSize = 220;
  int ImageRowGap = 1;
  int ImageColumnGap = 20;
  int ImageCount = 0;

  // At most this many report images are placed, on as many continuation sheets as they
  // need; further rows are left out.
  static constexpr int kMaxImages = kImageSlots;

 private:
  void build(const ReportRow& row);
  void fillPatientLine(const ReportRow& row);
  void fillNumberLine(const ReportRow& row);
  // Returns false when building stops here with the page kept.
  bool fillSignatures(bool emergency);
  void relayoutForOT();
  void relayoutForXA();
  void PlaceReportImages();
  std::string PanelForImage(int index);
  void CopyPaperFrame(const std::string& sheet);
  void PositionImage(model::Component& image, int index);
  void FitImageToCell(model::Component& image) const;

  // Drag state; one page is dragged at a time, so a member serves as well as shared state.
  int DragCounter = 0;
  int DragLastY = 0;
};

}  // namespace risview::pages
