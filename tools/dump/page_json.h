// The loaded report as JSON: what the preview window would show, component by component.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

#include "preview/report_loading.h"

namespace risview::dump {

nlohmann::ordered_json componentJson(const model::Component& component);
nlohmann::ordered_json pageJson(const pages::TPrntPage& page);
nlohmann::ordered_json reportJson(std::string_view requisition,
                                  const preview::LoadedReport& report);

}  // namespace risview::dump
