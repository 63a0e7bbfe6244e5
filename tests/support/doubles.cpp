#include "support/doubles.h"

#include <cstdio>

#include "platform/errors.h"

namespace risview::testing {

std::string TestLocale::shortTime(int hour, int minute, int second) const {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw ConversionError("Invalid argument to time encode");
  }
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

}  // namespace risview::testing
