// The age text of any birth text on any day: the message and "不详", or one of the five
// forms. A real birth date not after today never earns the message, and its whole years
// are the years completed, its months and days within a year and a month.
#include <compare>
#include <optional>
#include <regex>
#include <string>

#include "content/age_text.h"
#include "fuzz/fuzz.h"
#include "support/doubles.h"

namespace {

using risview::fuzz::check;

bool isLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int monthDays(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

struct Date {
  int year, month, day;
  // clang-tidy 14 reads the defaulted comparison as a comparison with 0.
  auto operator<=>(const Date&) const = default;  // NOLINT(modernize-use-nullptr)
};

// The first eight characters as a calendar date, when they are one.
std::optional<Date> calendarDate(std::string_view birth) {
  if (birth.size() < 8 ||
      birth.substr(0, 8).find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const auto number = [&](size_t at, size_t n) {
    return std::stoi(std::string(birth.substr(at, n)));
  };
  const Date d{number(0, 4), number(4, 2), number(6, 2)};
  if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > monthDays(d.year, d.month)) {
    return std::nullopt;
  }
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  risview::fuzz::Input in(data, size);
  Date today{};
  today.year = 1900 + in.byte() + in.byte();
  today.month = 1 + in.byte() % 12;
  today.day = 1 + in.byte() % monthDays(today.year, today.month);
  const std::string_view birth = in.rest();

  risview::testing::RecordingBoxes boxes;
  risview::testing::RecordingDebug debug;
  risview::testing::FixedClock clock({today.year, today.month, today.day, 12, 0, 0});
  risview::testing::TestLocale locale;
  risview::testing::FakeEnvironment env;
  const risview::Services services{boxes, debug, clock, locale, env, "Risview"};
  const std::string age = risview::content::AgeText(birth, services);

  if (!boxes.shown.empty()) {
    check(boxes.shown.size() == 1 && age == "不详", "one message, then 不详", birth);
    check(boxes.shown[0].text == "病人基本信息中所登记的生日信息无效！" &&
              boxes.shown[0].style == 0x200010 && boxes.shown[0].caption == "Risview",
          "the invalid-birth-date message", birth);
    check(!calendarDate(birth) || *calendarDate(birth) > today,
          "a real birth date up to today is never refused", birth);
    return 0;
  }
  static const std::regex kForms(
      "(-?[0-9]+)岁|1岁(-?[0-9]+)月|([0-9]+)月([0-9]+)天|([0-9]+)天|零天");
  std::smatch m;
  check(std::regex_match(age, m, kForms), "one of the five forms", age);

  const auto birthDate = calendarDate(birth);
  if (!birthDate || *birthDate > today) return 0;
  const int completed =
      today.year - birthDate->year -
      (Date{0, today.month, today.day} < Date{0, birthDate->month, birthDate->day});
  const int shownYears = m[1].matched ? std::stoi(m[1]) : m[2].matched ? 1 : 0;
  check(shownYears == completed && (!m[1].matched || completed >= 2), "the years completed", birth);
  if (m[2].matched) check(std::stoi(m[2]) >= 0 && std::stoi(m[2]) <= 11, "months of a year", birth);
  if (m[3].matched) {
    check(std::stoi(m[3]) >= 1 && std::stoi(m[3]) <= 11 && std::stoi(m[4]) <= 30,
          "months and days of an infant", birth);
  }
  if (m[5].matched) check(std::stoi(m[5]) >= 1 && std::stoi(m[5]) <= 30, "days of a month", birth);
  return 0;
}
