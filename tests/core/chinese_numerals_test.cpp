#include "preview/chinese_numerals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace risview::preview {
namespace {

using Cases = std::pair<int32_t, std::string>[];

TEST(IntToChinese, WritesNumbersWithTheirOwnPlaceNames) {
  for (const auto& [n, text] : Cases{{0, "零"},
                                     {10, "十"},
                                     {11, "十一"},
                                     {29, "二十九"},
                                     {30, "三十"},
                                     {35, "三十五"},
                                     {111, "一百一十一"},
                                     {4567, "四千五百六十七"},
                                     {123456, "一十万二万三千四百五十六"},
                                     {999999999, "九亿九千万九百万九十万九万九千九百九十九"}}) {
    EXPECT_EQ(IntToChinese(n), text) << n;
  }
}

TEST(IntToChinese, ZerosAreOneLingBetweenDigitsAndNothingAtTheEnd) {
  for (const auto& [n, text] : Cases{{105, "一百零五"},
                                     {110, "一百一十"},
                                     {1000, "一千"},
                                     {10203, "一万零二百零三"},
                                     {100000, "一十万"},
                                     {100000010, "一亿零一十"}}) {
    EXPECT_EQ(IntToChinese(n), text) << n;
  }
}

TEST(IntToChinese, NumbersBeyondThePlaceNamesStayDecimal) {
  for (const auto& [n, text] :
       Cases{{-1, "-1"}, {1000000000, "1000000000"}, {INT32_MIN, "-2147483648"}}) {
    EXPECT_EQ(IntToChinese(n), text) << n;
  }
}

}  // namespace
}  // namespace risview::preview
