// Chinese numerals read back: every number in range is written so that it reads as itself
// (digit names, each followed by its own place, falling, one 零 for a run of zeros, the
// ones digit bare); every other number comes back in decimal digits.
#include <array>
#include <optional>
#include <string>

#include "fuzz/fuzz.h"
#include "preview/chinese_numerals.h"

namespace {

using risview::fuzz::check;

constexpr std::array<std::string_view, 10> kDigits = {"零", "一", "二", "三", "四",
                                                      "五", "六", "七", "八", "九"};
// Longest first, so that 十万 is not read as 十 then 万.
constexpr std::pair<std::string_view, int> kPlaces[] = {
    {"十万", 5}, {"百万", 6}, {"千万", 7}, {"十", 1}, {"百", 2}, {"千", 3}, {"万", 4}, {"亿", 8}};

std::optional<int> digitAt(std::string_view& text) {
  for (int d = 0; d < 10; ++d) {
    if (text.starts_with(kDigits[d])) {
      text.remove_prefix(kDigits[d].size());
      return d;
    }
  }
  return std::nullopt;
}

std::optional<int> placeAt(std::string_view& text) {
  for (const auto& [name, place] : kPlaces) {
    if (text.starts_with(name)) {
      text.remove_prefix(name.size());
      return place;
    }
  }
  return std::nullopt;
}

std::optional<int64_t> readNumeral(std::string_view text) {
  if (text == "零") return 0;
  int64_t value = 0;
  int lastPlace = 9;
  bool zero = false;
  // The table writes ten to nineteen without the digit before 十.
  if (text.starts_with("十")) {
    text.remove_prefix(std::string_view("十").size());
    value = 10, lastPlace = 1;
  }
  while (!text.empty()) {
    const auto digit = digitAt(text);
    if (!digit) return std::nullopt;
    if (*digit == 0) {
      if (zero || value == 0) return std::nullopt;  // one 零 between non-zero digits
      zero = true;
      continue;
    }
    const auto place = placeAt(text);
    const int at = place.value_or(0);
    if (at >= lastPlace || (!place && !text.empty())) return std::nullopt;
    // 零 stands exactly for a gap between places.
    if (zero != (lastPlace != 9 && at < lastPlace - 1)) return std::nullopt;
    int64_t unit = 1;
    for (int i = 0; i < at; ++i) unit *= 10;
    value += *digit * unit;
    lastPlace = at;
    zero = false;
  }
  return zero ? std::nullopt : std::optional<int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  risview::fuzz::Input in(data, size);
  const uint32_t raw = in.u32();
  // Half the inputs land in range, where the numerals are.
  const int32_t n =
      (in.byte() & 1) ? static_cast<int32_t>(raw % 1'000'000'000) : static_cast<int32_t>(raw);
  const std::string text = risview::preview::IntToChinese(n);
  const std::string decimal = std::to_string(n);
  if (n < 0 || n > 999'999'999) {
    check(text == decimal, "out of range in decimal digits", decimal);
    return 0;
  }
  check(text.size() <= size_t{9} * 9, "a bounded numeral", decimal);
  check(readNumeral(text) == n, "the numeral reads as its number", decimal + " " + text);
  return 0;
}
