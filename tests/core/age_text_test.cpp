#include "content/age_text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/doubles.h"

namespace risview::content {
namespace {

using risview::testing::FakeServices;
using risview::testing::RecordedBox;

struct Age {
  LocalDateTime today;
  std::string birth;
  std::string text;
};

constexpr LocalDateTime k5March2024 = {2024, 3, 5, 10, 0, 0};
constexpr LocalDateTime k3January2024 = {2024, 1, 3, 10, 0, 0};
constexpr LocalDateTime k1March2023 = {2023, 3, 1, 9, 0, 0};
constexpr LocalDateTime k1March2024 = {2024, 3, 1, 9, 0, 0};
constexpr LocalDateTime k1March2000 = {2000, 3, 1, 9, 0, 0};
constexpr LocalDateTime k1March2100 = {2100, 3, 1, 9, 0, 0};

TEST(AgeText, ComputesTheAgeOnTodaysDate) {
  const Age cases[] = {
      {k5March2024, "20200101", "4岁"},
      {k5March2024, "20230101", "1岁2月"},
      {k5March2024, "20231220", "2月14天"},  // February 2024 lends 29 days
      {k5March2024, "20240301", "4天"},
      {k5March2024, "20240305", "零天"},
      {k5March2024, "20230305", "1岁0月"},
      {k5March2024, "20220306", "1岁11月"},  // the day before the second birthday
      {k5March2024, "20220305", "2岁"},
      {k5March2024, "20200101 00:00:00", "4岁"},  // only eight characters count
      // Not checked: later this year, month 13.
      {k5March2024, "20241225", "2月9天"},
      {k5March2024, "20231305", "2月0天"},
      // December of last year lends its 31 days.
      {k3January2024, "20231215", "19天"},
      // February lends too few days, so January is borrowed as well.
      {k1March2023, "20221231", "1月29天"},
      // Leap years: February lends 29 days in 2024 and 2000, 28 in 2023 and 2100.
      {k1March2024, "20240130", "1月0天"},
      {k1March2023, "20230130", "30天"},
      {k1March2000, "20000130", "1月0天"},
      {k1March2100, "21000130", "30天"},
  };
  for (const auto& c : cases) {
    FakeServices fake;
    fake.clock.at = c.today;
    EXPECT_EQ(AgeText(c.birth, fake.services()), c.text) << c.birth;
    EXPECT_TRUE(fake.boxes.shown.empty()) << c.birth;
  }
}

TEST(AgeText, InvalidBirthDatesShowTheMessageAndGiveUnknown) {
  struct Invalid {
    LocalDateTime today;
    std::string birth;
  };
  const Invalid cases[] = {
      {k5March2024, ""},
      {k5March2024, "2020010"},  // too short: the day would be "0"
      {k5March2024, "2024-03-05"},
      {k5March2024, "abcd0101"},
      {k5March2024, "2020011 "},
      {k5March2024, "20250101"},         // born next year
      {{1, 1, 1, 0, 0, 0}, "00010102"},  // the borrowed month would lie in year 0
  };
  const RecordedBox expected = {"病人基本信息中所登记的生日信息无效！", "Risview", 0x200010, 0};
  for (const auto& c : cases) {
    FakeServices fake;
    fake.clock.at = c.today;
    EXPECT_EQ(AgeText(c.birth, fake.services()), "不详") << c.birth;
    ASSERT_EQ(fake.boxes.shown.size(), 1u) << c.birth;
    EXPECT_EQ(fake.boxes.shown[0], expected) << c.birth;
  }
}

}  // namespace
}  // namespace risview::content
