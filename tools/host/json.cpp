#include "host/json.h"

#include <cstdio>

namespace risview::host {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string jsonArray(const std::vector<std::string>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) out += ",";
    out += values[i];
  }
  return out + "]";
}

void JsonObject::key(std::string_view key) {
  if (!body_.empty()) body_ += ",";
  body_ += jsonString(key) + ":";
}

JsonObject& JsonObject::add(std::string_view k, std::string_view text) {
  key(k);
  body_ += jsonString(text);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, long long number) {
  key(k);
  body_ += std::to_string(number);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool flag) {
  key(k);
  body_ += flag ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::addRaw(std::string_view k, std::string_view json) {
  key(k);
  body_ += json;
  return *this;
}

}  // namespace risview::host
