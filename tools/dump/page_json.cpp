#include "dump/page_json.h"

#include "model/text_changes.h"

namespace risview::dump {

namespace {

const char* kindName(model::Kind kind) {
  switch (kind) {
    case model::Kind::ScrollBox:
      return "scrollbox";
    case model::Kind::Panel:
      return "panel";
    case model::Kind::Label:
      return "label";
    case model::Kind::Edit:
      return "edit";
    case model::Kind::RichEdit:
      return "richedit";
    case model::Kind::Shape:
      return "shape";
    case model::Kind::Image:
      return "image";
    default:
      return "other";
  }
}

}  // namespace

nlohmann::ordered_json componentJson(const model::Component& c) {
  nlohmann::ordered_json j;
  j["name"] = c.name;
  j["kind"] = kindName(c.kind);
  j["parent"] = c.parent;
  j["visible"] = c.visible;
  j["left"] = c.rect.left;
  j["top"] = c.rect.top;
  j["width"] = c.rect.width;
  j["height"] = c.rect.height;
  j["text"] = c.caption;
  j["font"] = {{"face", c.font.face},
               {"height", c.font.height},
               {"bold", c.font.bold},
               {"color", c.font.color}};
  j["enabled"] = c.enabled;
  j["readOnly"] = c.readOnly;
  j["tag"] = c.tag;
  if (c.kind == model::Kind::Shape) j["penWidth"] = c.penWidth;
  if (c.kind == model::Kind::RichEdit) j["overflows"] = c.overflows;
  if (!c.changes.empty()) j["changes"] = model::describeChanges(c.changes);
  if (c.kind == model::Kind::Image) {
    j["file"] = c.file;
    j["pictureWidth"] = c.pictureWidth;
    j["pictureHeight"] = c.pictureHeight;
    j["stretch"] = c.stretch;
  }
  return j;
}

nlohmann::ordered_json pageJson(const pages::TPrntPage& page) {
  nlohmann::ordered_json j;
  j["class"] = page.className();
  j["reportId"] = page.ReportID;
  j["requisitionId"] = page.RequisitionID;
  j["editOrder"] = page.EditOrder;
  j["pageBuilt"] = page.PageBuilt;
  const auto& range = page.model().at("ScrollBox1").scrollRange;
  j["scrollRange"] = {{"horizontal", range.horizontal}, {"vertical", range.vertical}};
  auto& components = j["components"] = nlohmann::ordered_json::array();
  for (const auto& c : page.model().components()) components.push_back(componentJson(c));
  return j;
}

nlohmann::ordered_json reportJson(std::string_view requisition,
                                  const preview::LoadedReport& report) {
  nlohmann::ordered_json j;
  j["requisition"] = requisition;
  j["departmentId"] = report.departmentId;
  auto& tabs = j["tabs"] = nlohmann::ordered_json::array();
  for (const auto& tab : report.tabs) {
    tabs.push_back({{"caption", tab.caption}, {"page", pageJson(*tab.page)}});
  }
  if (report.untabbed) j["untabbed"] = pageJson(*report.untabbed);
  auto& dropped = j["dropped"] = nlohmann::ordered_json::array();
  for (const auto& id : report.dropped) dropped.push_back({{"reportId", id}});
  return j;
}

}  // namespace risview::dump
