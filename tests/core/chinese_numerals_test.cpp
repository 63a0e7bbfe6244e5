#include "preview/chinese_numerals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace risview::preview {
namespace {

struct Numeral {
  int32_t n;
  std::string text;
};

TEST(IntToChinese, WritesTabNumbersFromTheTableAndComposesLargerOnes) {
  const Numeral cases[] = {
      {0, "零"},
      {1, "一"},
      {10, "十"},
      {11, "十一"},
      {20, "二十"},
      {29, "二十九"},
      {30, "三十"},
      {31, "三十一"},
      {35, "三十五"},
      {99, "九十九"},
      {111, "一百一十一"},
      {123, "一百二十三"},
      {4567, "四千五百六十七"},
      {123456, "一十万二万三千四百五十六"},
      {999999999, "九亿九千万九百万九十万九万九千九百九十九"},
  };
  for (const auto& c : cases) EXPECT_EQ(IntToChinese(c.n), c.text) << c.n;
}

TEST(IntToChinese, ZeroDigitsAreOneLingBetweenDigitsAndNothingAtTheEnd) {
  const Numeral cases[] = {
      {100, "一百"},
      {105, "一百零五"},
      {110, "一百一十"},
      {1000, "一千"},
      {1001, "一千零一"},
      {1010, "一千零一十"},
      {10203, "一万零二百零三"},
      {100000, "一十万"},
      {100001, "一十万零一"},
      {120000, "一十万二万"},
      {100000000, "一亿"},
      {100000010, "一亿零一十"},
  };
  for (const auto& c : cases) EXPECT_EQ(IntToChinese(c.n), c.text) << c.n;
}

TEST(IntToChinese, NumbersWithoutPlaceNamesStayDecimal) {
  const Numeral cases[] = {
      {-1, "-1"},
      {-30, "-30"},
      {1000000000, "1000000000"},
      {std::numeric_limits<int32_t>::max(), "2147483647"},
      {std::numeric_limits<int32_t>::min(), "-2147483648"},
  };
  for (const auto& c : cases) EXPECT_EQ(IntToChinese(c.n), c.text) << c.n;
}

}  // namespace
}  // namespace risview::preview
