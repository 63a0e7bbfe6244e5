// What the preview window requires of every report page, and what every page is built
// from: one row of the preview window's report query, a connection for the page's own
// queries, the platform services, text metrics and picture headers.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "content/signatures.h"
#include "data/database.h"
#include "model/page_model.h"
#include "pictures/picture_info.h"
#include "platform/services.h"

namespace risview::pages {

// Report pictures and the controls made for them, by ImageOrder (or tag number): the names of
// their components, empty where there is none. Numbers outside 0 to 254 have no slot.
inline constexpr int kImageSlots = 255;
using ImageSlots = std::array<std::string, kImageSlots>;
inline bool hasSlot(int32_t number) {
  return number >= 0 && number < kImageSlots;
}

// A position on the sheet from a value stored in the database, which may be any 32-bit
// number, and an offset: added in 64 bits and held to 16-bit coordinates, far off the sheet
// either way, so that nothing worked out from it later (its right or bottom edge, a window
// position packed into a message) can overflow.
inline int sheetPosition(int64_t stored, int64_t offset) {
  return static_cast<int>(std::clamp<int64_t>(stored + offset, INT16_MIN, INT16_MAX));
}

struct PageContext {
  const Services& services;
  data::Connection& con;  // the data module's radiology connection
  const model::TextMetrics& metrics;
  const pictures::Pictures& pictures;
};

// One row of the report query: fields by name, the cursor never moved by a page.
class ReportRow {
 public:
  explicit ReportRow(const data::Query& query) : query_(query) {}
  std::string text(std::string_view column) const { return query_.field(column).asString(); }
  int32_t integer(std::string_view column) const { return query_.field(column).asInteger(); }

 private:
  const data::Query& query_;
};

class TPrntPage {
 public:
  virtual ~TPrntPage() = default;
  TPrntPage(const TPrntPage&) = delete;
  TPrntPage& operator=(const TPrntPage&) = delete;

  // The class name a site's tools know the page by ("TMyPrntPage", ...).
  virtual const char* className() const = 0;

  bool PageBuilt = true;
  std::string ReportID;
  std::string RequisitionID;
  int32_t EditOrder = 0;

  model::PageModel& model() { return model_; }
  const model::PageModel& model() const { return model_; }

  // The sheet whose mouse events go to the handlers below: the form's Paper, the first sheet;
  // its continuation sheets take none.
  bool takesPaperMouse(const model::Component& sheet) const {
    return &sheet == model_.find("Paper");
  }
  // The sheet's mouse events, in sheet coordinates. A move gives the scroll box's new
  // vertical position when the page scrolls. Only the general page drags.
  virtual void PaperMouseDown(int /*y*/) {}
  virtual std::optional<int> PaperMouseMove(int /*y*/, int /*scrollPosition*/) {
    return std::nullopt;
  }
  virtual void PaperMouseUp() {}

 protected:
  // The form's components, auto-sized labels measured; nothing filled yet.
  TPrntPage(const model::FormDesc& form, PageContext& context);

  // Runs a page's filling under the one guard every page has: whatever stops it drops the
  // page, without a message; what was filled before stays. The page's query is left closed.
  template <typename Fill>
  void fillGuarded(Fill&& fill) {
    try {
      fill();
    } catch (const std::exception&) {
      PageBuilt = false;
    }
    query_.close();
  }

  // ReportID, RequisitionID and EditOrder of the row.
  void keepKeys(const ReportRow& row);
  // A label's text, sized to it.
  void setLabel(std::string_view label, std::string text);
  // A value label's text, centred over its underline.
  void setValue(std::string_view label, std::string text, std::string_view line);

  // A picture control for the file, with the picture's natural size, not yet on a sheet and
  // not shown. Throws PictureError when the picture cannot be read: the control stays, never
  // shown, as the failing row's control does.
  model::Component& createPicture(std::string_view namePrefix, const std::string& file);
  // The picture's natural size; a picture that cannot be read is logged by its file name
  // (its folder may name the patient) before PictureError goes on.
  pictures::PictureInfo pictureInfo(const std::string& file);

  // Where a page shows its signature block: the fields (edits or labels) and the revision
  // controls made visible on a revised edition. An empty name: the page has no such field.
  struct SignatureFields {
    const char *reportPhysicians, *auditPhysicians, *reportDate, *technicians;
    const char* revisionShown[4];
    const char *revisionUser, *revisionDate;
  };
  // Shows what the signature step read. A failure that drops the page throws; returns false
  // when the page stops building here but stays.
  bool showSignatures(const content::SignatureResult& result, const SignatureFields& fields);

  model::PageModel model_;
  PageContext& context_;
  data::Query query_;  // ADOQuery1: every query of the page in turn
};

// Makes one page of the class the request's department selects from the current row.
std::unique_ptr<TPrntPage> createPage(int32_t departmentId, const data::Query& row,
                                      PageContext& context);

}  // namespace risview::pages
