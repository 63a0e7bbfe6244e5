// The text conversions at the system's edges: code page 936 and UTF-16 to and from UTF-8,
// and the strict number reading every database and option value goes through.
#include <charconv>
#include <optional>
#include <string>

#include "fuzz/fuzz.h"
#include "platform/text.h"

namespace {

using risview::fuzz::check;
using risview::fuzz::isUtf8;

// The strict decimal grammar read independently: blanks, one sign, digits, 32 bits.
std::optional<int32_t> expectedInt(std::string_view text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return std::nullopt;
  bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  const std::string_view digits = text.substr(i);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  // Leading zeros count for nothing; more than ten digits after them never fit.
  const std::string_view significant =
      digits.substr(std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (significant.size() > 10) return std::nullopt;
  int64_t value = 0;
  std::from_chars(significant.data(), significant.data() + significant.size(), value);
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

bool isSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Code page 936 in: whole UTF-8 out, at most three bytes for each byte in; once through
  // code page 936 and back, the text no longer changes.
  const std::string utf8 = risview::cp936ToUtf8(bytes);
  check(isUtf8(utf8), "code page 936 decodes to whole UTF-8", bytes);
  check(utf8.size() <= 3 * bytes.size(), "code page 936 decoding is bounded", bytes);
  const std::string gbk = risview::utf8ToCp936(utf8);
  check(gbk.size() <= utf8.size(), "code page 936 encoding is bounded", bytes);
  const std::string again = risview::cp936ToUtf8(gbk);
  check(risview::cp936ToUtf8(risview::utf8ToCp936(again)) == again,
        "code page 936 round trip settles", bytes);

  // UTF-8 in, broken or not: UTF-16 and back gives whole UTF-8, the same for whole input.
  const std::u16string units = risview::utf8ToUtf16(bytes);
  check(units.size() <= bytes.size(), "UTF-16 from UTF-8 is bounded", bytes);
  const std::string back = risview::utf16ToUtf8(units);
  check(isUtf8(back), "UTF-8 through UTF-16 is whole", bytes);
  check(!isUtf8(bytes) || back == bytes, "whole UTF-8 survives UTF-16", bytes);
  check(risview::utf8ToCp936(bytes).size() <= bytes.size(), "code page 936 from any bytes", bytes);

  // UTF-16 in: pairs survive, lone surrogates become U+FFFD, nothing else changes.
  std::u16string raw, expected;
  for (size_t i = 0; i + 1 < size; i += 2) raw += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] >= 0xD800 && raw[i] <= 0xDBFF && i + 1 < raw.size() && raw[i + 1] >= 0xDC00 &&
        raw[i + 1] <= 0xDFFF) {
      expected += raw.substr(i++, 2);
    } else {
      expected += isSurrogate(raw[i]) ? char16_t{0xFFFD} : raw[i];
    }
  }
  check(risview::utf8ToUtf16(risview::utf16ToUtf8(raw)) == expected,
        "UTF-16 round trip changes only lone surrogates", bytes);

  // Cutting keeps whole characters and never grows.
  const size_t limit = size > 0 ? data[0] : 0;
  const size_t cut = risview::utf8Prefix(bytes, limit);
  check(cut <= limit && cut <= size, "a cut stays within its limit", bytes);
  check(!isUtf8(bytes) || isUtf8(bytes.substr(0, cut)), "a cut keeps whole characters", bytes);

  const std::string_view trimmed = risview::trim(bytes);
  check(trimmed.empty() || (static_cast<unsigned char>(trimmed.front()) > ' ' &&
                            static_cast<unsigned char>(trimmed.back()) > ' '),
        "trimming leaves no blank at an end", bytes);

  check(risview::parseInt(bytes) == expectedInt(bytes), "strict integers", bytes);
  if (auto v = risview::parseInt(bytes)) {
    check(risview::toInt(bytes) == *v, "toInt agrees with parseInt", bytes);
  }
  const std::string_view half = bytes.substr(0, size / 2);
  const std::string_view other = bytes.substr(size / 2);
  check(risview::equalsNoCase(half, other) == risview::equalsNoCase(other, half),
        "case-blind comparison is symmetric", bytes);
  return 0;
}
