// The endoscopy report page (department 4): the title by endoscope, the device's tag picture
// with the report's tags on it, captioned report pictures, and findings and diagnosis boxes
// that grow with their text.
#pragma once

#include <cstdint>
#include <string>

#include "pages/modality_page.h"

namespace risview::pages {

class TOTPrntPage : public TModalityPage {
 public:
  // Builds the whole page from the current row of the report query.
  TOTPrntPage(const data::Query& row, PageContext& context);

  const char* className() const override { return "TOTPrntPage"; }

  // How the report pictures stand in the band below Shape10, by their number.
  enum class ImageLayout {
    None,
    OneRow,       // up to four, centred; the blocks below move up into the room left
    ThreeAcross,  // five or six
    FourAcross,   // seven and more, in as many rows as they need
  };

  ImageLayout Layout = ImageLayout::None;
  ImageSlots ImageCaptions;
  // The tags: marks on the tag picture by ImageID, copies beside the pictures by ImageTag.
  ImageSlots TagMarks;
  ImageSlots TagCopies;
  int32_t TagImageID = 0;

 private:
  void build(const ReportRow& row);
  void loadTagPicture(const std::string& modalityAE, const std::string& modality);
  // A box that shows more lines than it has room for grows, and the named control moves
  // below it.
  void grow(const char* box, const char* follower);
  // Returns false when building stops here with the page kept.
  bool fillSignatures();
  void chooseLayout() override;
  void PositionImage(model::Component& image) override;
  // The picture's caption, centred under it.
  void pictureFitted(const model::Component& image, int32_t order) override;
  // Tag images (tag_images.cpp).
  void PlaceTagImages();
  // Names the mark in mark as soon as it exists, so a failing tag can take it away.
  void placeTag(data::Query& row, data::Query& files, std::string& mark);
};

}  // namespace risview::pages
