// The endoscopy page's tags: each tag's picture stands twice on the sheet, as a mark on the
// device's tag picture where the reporting doctor put it, and as a small copy at the left
// edge of the report picture it belongs to.
#include <exception>
#include <stdexcept>

#include "pages/ot_page.h"
#include "platform/text.h"

namespace risview::pages {

namespace {

constexpr char kTagQueryFailed[] = "无法和服务器数据库通讯成功，载入诊断报告贴图位置错误！";
constexpr int kMarkSide = 13;
constexpr int kCopySide = 16;
constexpr int kCopyOffset = 18;  // left of the picture's edge

}  // namespace

void TOTPrntPage::PlaceTagImages() {
  query_.close();
  query_.setSql("select * from RIS_REPORT_TAGIMAGE  where  RequisitionID = " +
                data::quoted(RequisitionID) + "  and ReportID = " + data::quoted(ReportID) +
                " and EditOrder = " + std::to_string(EditOrder) + " order by ImageOrder");
  try {
    query_.open();
  } catch (const RunEnded&) {
    throw;  // the window is closing: no box
  } catch (const std::exception&) {
    context_.services.boxes.show(kTagQueryFailed, context_.services.applicationTitle,
                                 mb::kIconHand | mb::kOk, 0);
    return;
  }
  data::Query files(context_.con, "tag images");  // the catalogue lookups; released with the step
  // As many tag rows as there are slots: rows that repeat a number cannot add marks without end.
  for (int row = 0; !query_.eof() && row < kImageSlots; query_.next(), ++row) {
    // A tag number that is not a number fails the page.
    TagImageID = toInt(trim(query_.field("ImageID").asString()));
    // One without a slot is left out: nothing is written outside the slots.
    if (!hasSlot(TagImageID)) continue;
    const std::string previousMark = TagMarks[TagImageID];
    std::string mark;
    try {
      placeTag(query_, files, mark);
    } catch (const std::exception&) {
      // Nothing of a tag that cannot be shown stays on the sheet (its copy is made last, once
      // all else has worked); the next one is placed.
      if (!mark.empty()) {
        model_.remove(mark);
        TagMarks[TagImageID] = previousMark;
      }
    }
  }
  query_.close();
}

void TOTPrntPage::placeTag(data::Query& row, data::Query& files, std::string& mark) {
  const model::Rect flag = model_.at("Image_Flag").rect;
  mark = model_.uniqueName("TagMark");
  model_.create(
      {.name = mark,
       .kind = model::Kind::Image,
       .parent = "Paper",
       .rect = {sheetPosition(row.field("ImageX").asInteger(), flag.left),
                sheetPosition(row.field("ImageY").asInteger(), flag.top), kMarkSide, kMarkSide},
       .cursor = model::Cursor::HandPoint});
  TagMarks[TagImageID] = mark;

  files.close();
  files.setSql("select imagefile from tagimages where id = " + std::to_string(TagImageID));
  files.open();
  if (files.eof()) throw std::runtime_error("No tag picture " + std::to_string(TagImageID));
  const std::string file = files.field("imagefile").asString();
  const pictures::PictureInfo info = pictureInfo(file);
  model::Component& m = model_.at(mark);
  m.file = file;
  m.pictureWidth = info.width;
  m.pictureHeight = info.height;
  m.stretch = true;

  const int32_t tag = row.field("ImageTag").asInteger();
  if (!hasSlot(tag)) throw std::out_of_range("Tag of no report picture");
  const std::string& target = Images[tag];
  if (target.empty()) throw std::runtime_error("Tag of a picture not placed");
  const model::Rect image = model_.at(target).rect;
  const std::string copy = model_.uniqueName("TagCopy");
  model_.create({.name = copy,
                 .kind = model::Kind::Image,
                 .parent = "Paper",
                 .rect = {image.left - kCopyOffset, image.top, kCopySide, kCopySide},
                 .file = file,
                 .pictureWidth = info.width,
                 .pictureHeight = info.height});
  TagCopies[tag] = copy;
}

}  // namespace risview::pages
