// Just enough JSON for the transcript: one object per line, built field by field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace risview::host {

// A JSON string literal; the text is UTF-8 and stays so, control characters are escaped.
std::string jsonString(std::string_view text);

// "[a,b,c]" from values already written as JSON.
std::string jsonArray(const std::vector<std::string>& values);

class JsonObject {
 public:
  JsonObject& add(std::string_view key, std::string_view text);
  JsonObject& add(std::string_view key, const char* text) {
    return add(key, std::string_view(text));
  }
  JsonObject& add(std::string_view key, long long number);
  JsonObject& add(std::string_view key, int number) {
    return add(key, static_cast<long long>(number));
  }
  JsonObject& add(std::string_view key, unsigned number) {
    return add(key, static_cast<long long>(number));
  }
  JsonObject& add(std::string_view key, bool flag);
  // A value already written as JSON (an array or another object).
  JsonObject& addRaw(std::string_view key, std::string_view json);
  std::string str() const { return "{" + body_ + "}"; }

 private:
  void key(std::string_view key);
  std::string body_;
};

}  // namespace risview::host
