#include "preview/chinese_numerals.h"

#include <array>
#include <string_view>

namespace risview::preview {
namespace {

constexpr std::array<std::string_view, 30> kSmall = {
    "零",     "一",     "二",     "三",     "四",     "五",     "六",     "七",
    "八",     "九",     "十",     "十一",   "十二",   "十三",   "十四",   "十五",
    "十六",   "十七",   "十八",   "十九",   "二十",   "二十一", "二十二", "二十三",
    "二十四", "二十五", "二十六", "二十七", "二十八", "二十九"};

constexpr std::array<std::string_view, 10> kDigits = {"零", "一", "二", "三", "四",
                                                      "五", "六", "七", "八", "九"};

// Index is the place counted from the ones place as 0.
constexpr std::array<std::string_view, 9> kPlaces = {"",     "十",   "百",   "千", "万",
                                                     "十万", "百万", "千万", "亿"};

constexpr int32_t kLargest = 999'999'999;

}  // namespace

std::string IntToChinese(int32_t n) {
  if (n < 0 || n > kLargest) return std::to_string(n);
  if (n < 30) return std::string(kSmall[n]);

  std::array<int, kPlaces.size()> digits{};
  int highest = 0;
  for (int32_t rest = n; rest > 0; rest /= 10) digits[highest++] = rest % 10;

  std::string text;
  bool zerosPending = false;
  for (int place = highest - 1; place >= 0; --place) {
    const int digit = digits[place];
    if (digit == 0) {
      zerosPending = true;
      continue;
    }
    if (zerosPending) text += kDigits[0];
    zerosPending = false;
    text += kDigits[digit];
    text += kPlaces[place];
  }
  return text;
}

}  // namespace risview::preview
