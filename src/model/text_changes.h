// What a revision changed in a report text: the text of the edition before and the text now,
// compared character by character (Chinese has no blanks to split words at), as pieces that
// are the same, inserted or removed.
#pragma once

#include <string_view>
#include <vector>

#include "model/page_model.h"

namespace risview::model {

// The longest text compared character by character (report texts are a few hundred).
inline constexpr size_t kComparedLength = 10000;

// The pieces in reading order, neighbours of one kind joined; a removal comes before the
// insertion that replaces it. Empty when both texts are. A text longer than kComparedLength
// characters is marked as replaced whole (or the same, when both are equal).
std::vector<TextChange> compareTexts(std::string_view before, std::string_view now);

// Marks every rich-text box of the page with its changes against the box of the same name
// in `before` (the same page of the edition before; null when that edition has no such
// page, so every text is new).
void markChanges(PageModel& page, const PageModel* before);

// The pieces written out, inserted text as "[+...]" and removed text as "[-...]".
std::string describeChanges(const std::vector<TextChange>& changes);

}  // namespace risview::model
