#include "pages/prnt_page.h"

#include <stdexcept>

#include "platform/errors.h"

namespace risview::pages {

TPrntPage::TPrntPage(const model::FormDesc& form, PageContext& context)
    : model_(form), context_(context), query_(context.con, "page") {
  model_.sizeLabels(context.metrics);
}

void TPrntPage::keepKeys(const ReportRow& row) {
  ReportID = row.text("ReportID");
  RequisitionID = row.text("RequisitionID");
  EditOrder = row.integer("EditOrder");
}

void TPrntPage::setLabel(std::string_view label, std::string text) {
  model_.setText(label, std::move(text), context_.metrics);
}

void TPrntPage::setValue(std::string_view label, std::string text, std::string_view line) {
  setLabel(label, std::move(text));
  model_.centreOver(label, line);
}

pictures::PictureInfo TPrntPage::pictureInfo(const std::string& file) {
  LoggedStep logged(context_.services, "picture " + file.substr(file.find_last_of("\\/") + 1));
  try {
    pictures::PictureInfo info = context_.pictures.info(file);
    logged.dismiss();  // only the pictures that fail are worth a line
    return info;
  } catch (const PictureError&) {
    logged.done("failed");
    throw;
  }
}

model::Component& TPrntPage::createPicture(std::string_view namePrefix, const std::string& file) {
  model::Component& picture = model_.create(
      {.name = model_.uniqueName(namePrefix), .kind = model::Kind::Image, .visible = false});
  const pictures::PictureInfo info = pictureInfo(file);
  picture.file = file;
  picture.pictureWidth = info.width;
  picture.pictureHeight = info.height;
  return picture;
}

bool TPrntPage::showSignatures(const content::SignatureResult& result,
                               const SignatureFields& fields) {
  if (result.outcome == content::SignatureOutcome::Failed) {
    throw std::runtime_error("The signature block of the report could not be read");
  }
  const content::Signatures& s = result.fields;
  // Labels size themselves to their text; edits keep their size.
  auto put = [this](const char* name, const std::string& text) {
    if (*name == 0) return;
    if (model_.at(name).kind == model::Kind::Label) {
      setLabel(name, text);
    } else {
      model_.at(name).caption = text;
    }
  };
  put(fields.reportPhysicians, s.reportPhysicians);
  put(fields.auditPhysicians, s.auditPhysicians);
  put(fields.reportDate, s.reportDate);
  put(fields.technicians, s.technicians);
  if (s.revisionVisible) {
    for (const char* name : fields.revisionShown) model_.show(name);
    put(fields.revisionUser, s.revisionUser);
    put(fields.revisionDate, s.revisionDate);
  }
  return result.outcome == content::SignatureOutcome::Finished;
}

}  // namespace risview::pages
