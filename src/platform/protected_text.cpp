#include "platform/protected_text.h"

#include "platform/text.h"

namespace risview {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
  }
  return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    int v = sextet(c);
    if (v < 0 || padding > 0) return std::nullopt;  // nothing follows the padding
    bits = (bits << 6) | static_cast<uint32_t>(v);
    if (++count % 4 == 0) {
      out += static_cast<char>((bits >> 16) & 0xff);
      out += static_cast<char>((bits >> 8) & 0xff);
      out += static_cast<char>(bits & 0xff);
      bits = 0;
    }
  }
  switch (count % 4) {
    case 1:
      return std::nullopt;
    case 2:
      out += static_cast<char>((bits >> 4) & 0xff);
      break;
    case 3:
      out += static_cast<char>((bits >> 10) & 0xff);
      out += static_cast<char>((bits >> 2) & 0xff);
      break;
  }
  if (padding > 2) return std::nullopt;
  return out;
}

bool isProtected(std::string_view value) {
  value = trim(value);
  return value.size() >= kProtectedPrefix.size() &&
         equalsNoCase(value.substr(0, kProtectedPrefix.size()), kProtectedPrefix);
}

std::optional<std::string> revealPassword(std::string_view value, const Secrets* secrets) {
  if (!isProtected(value)) return std::string(value);
  std::optional<std::string> blob = base64Decode(trim(value).substr(kProtectedPrefix.size()));
  if (!blob || blob->empty() || !secrets) return std::nullopt;
  return secrets->unprotect(*blob);
}

void wipe(std::string& text) noexcept {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

}  // namespace risview
