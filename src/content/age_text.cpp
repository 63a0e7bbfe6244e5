#include "content/age_text.h"

#include <optional>

#include "platform/text.h"

namespace risview::content {
namespace {

constexpr std::string_view kInvalidBirth = "病人基本信息中所登记的生日信息无效！";
constexpr std::string_view kUnknown = "不详";

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days of the month, or nullopt when year and month make no calendar date.
std::optional<int> daysInMonth(int year, int month) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// nullopt for every case that earns the message.
std::optional<std::string> computeAge(std::string_view birth, const LocalDateTime& today) {
  // Anything shorter than YYYYMMDD leaves a part empty or cut, which is no birth date.
  if (birth.size() < 8) return std::nullopt;
  const auto y = parseInt(birth.substr(0, 4));
  const auto m = parseInt(birth.substr(4, 2));
  const auto d = parseInt(birth.substr(6, 2));
  if (!y || !m || !d) return std::nullopt;

  int year = today.year, month = today.month, day = today.day;
  if (*y > year) return std::nullopt;

  // Borrow whole months until the day of birth fits; a short borrowed month early in the
  // current month can leave the day still too small, so borrow again.
  while (*d > day) {
    if (--month == 0) {
      month = 12;
      --year;
    }
    const auto borrowed = daysInMonth(year, month);
    if (!borrowed) return std::nullopt;
    day += *borrowed;
  }
  const int days = day - *d;
  if (*m > month) {
    month += 12;
    --year;
  }
  const int months = month - *m;
  const int years = year - *y;

  if (years >= 2) return std::to_string(years) + "岁";
  if (years == 1) return std::to_string(years) + "岁" + std::to_string(months) + "月";
  if (months >= 1) return std::to_string(months) + "月" + std::to_string(days) + "天";
  if (days >= 1) return std::to_string(days) + "天";
  return "零天";
}

}  // namespace

std::string AgeText(std::string_view birth, const Services& services) {
  if (auto age = computeAge(birth, services.clock.now())) return *std::move(age);
  services.boxes.show(kInvalidBirth, services.applicationTitle,
                      mb::kIconHand | mb::kServiceNotification);
  return std::string(kUnknown);
}

}  // namespace risview::content
