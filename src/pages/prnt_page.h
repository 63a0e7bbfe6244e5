// What the preview window requires of every report page, and what every page is built
// from: one row of the preview window's report query, a connection for the page's own
// queries, the platform services, text metrics and picture headers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/database.h"
#include "platform/picture.h"
#include "platform/services.h"
#include "ui/page_model.h"

namespace risview::pages {

struct PageContext {
  const Services& services;
  data::Connection& con;  // the data module's radiology connection
  const ui::TextMetrics& metrics;
  const Pictures& pictures;
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

  ui::PageModel& model() { return model_; }
  const ui::PageModel& model() const { return model_; }

  // The sheet's mouse events, in sheet coordinates. A move gives the scroll box's new
  // vertical position when the page scrolls. Only the general page drags.
  virtual void PaperMouseDown(int /*y*/) {}
  virtual std::optional<int> PaperMouseMove(int /*y*/, int /*scrollPosition*/) {
    return std::nullopt;
  }
  virtual void PaperMouseUp() {}

 protected:
  explicit TPrntPage(const ui::FormDesc& form) : model_(form) {}

  ui::PageModel model_;
};

// Makes one page of the class the request's department selects from the current row.
std::unique_ptr<TPrntPage> createPage(int32_t departmentId, const data::Query& row,
                                      PageContext& context);

}  // namespace risview::pages
