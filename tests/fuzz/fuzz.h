// What the fuzz targets share: the input read as numbers and texts, and a check that ends
// the run with its reason. libFuzzer and the replay both count an abort as a finding, and
// so an exception that escapes a target.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace risview::fuzz {

inline void check(bool holds, const char* what, std::string_view detail = {}) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  // Inputs hold zero bytes and arbitrary ones: printed escaped, so a finding reads back.
  for (unsigned char c : detail) {
    if (c >= ' ' && c < 0x7F && c != '\\') {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", c);
    }
  }
  std::fputc('\n', stderr);
  std::abort();
}

// The input read front to back; past its end every number is 0 and every text empty.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{byte()} << (8 * i);
    return v;
  }
  // The text up to the next zero byte, which is dropped.
  std::string_view text() {
    const size_t zero = rest_.find('\0');
    const std::string_view part = rest_.substr(0, zero);
    rest_ = zero == std::string_view::npos ? std::string_view() : rest_.substr(zero + 1);
    return part;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Whole UTF-8 comes back from UTF-16 unchanged; anything broken gains U+FFFD.
inline bool isUtf8(std::string_view text) {
  return utf16ToUtf8(utf8ToUtf16(text)) == text;
}

}  // namespace risview::fuzz
