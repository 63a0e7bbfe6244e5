// The transcript's JSON: one object per line, its keys in the order they were added.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>

namespace risview::host {

using Json = nlohmann::ordered_json;

// Compact, UTF-8 left as it is; bytes that are not UTF-8 become U+FFFD rather than failing
// the line (a window text or a message may carry anything).
std::string jsonText(const Json& value);

class JsonObject {
 public:
  template <typename T>
  JsonObject& add(std::string_view key, T&& value) {
    json_[std::string(key)] = std::forward<T>(value);
    return *this;
  }
  const Json& json() const { return json_; }
  std::string str() const { return jsonText(json_); }

 private:
  Json json_ = Json::object();
};

}  // namespace risview::host
