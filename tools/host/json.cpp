#include "host/json.h"

namespace risview::host {

std::string jsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace risview::host
