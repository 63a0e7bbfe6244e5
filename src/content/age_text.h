// The patient's age as every report page writes it beside the name and sex.
#pragma once

#include <string>
#include <string_view>

#include "platform/services.h"

namespace risview::content {

// The age on today's date (services.clock) of a patient born on birth, a YYYYMMDD text of
// which only the first eight characters count: "5岁" from two years up, "1岁3月" in the
// second year, "2月14天" or "4天" for infants, "零天" on the day of birth.
//
// Never fails towards its caller: a birth year after this year, a part that is not a whole
// number (empty, short, written with separators) or a borrowed month that makes no date
// shows the invalid-birth-date message box and gives "不详". A month above 12 or a day past
// the month's end is not checked and gives whatever the arithmetic gives.
std::string AgeText(std::string_view birth, const Services& services);

}  // namespace risview::content
