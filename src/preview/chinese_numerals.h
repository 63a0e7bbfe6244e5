// Chinese numerals for the page and edition numbers of the preview window's tabs.
#pragma once

#include <cstdint>
#include <string>

namespace risview::preview {

// n written in Chinese numerals, UTF-8: 二十九, 三十五, 一百零五, 一十万二万三千四百五十六.
//
// Below 30 the text comes from a fixed table (十一, not 一十一). From 30 up every non-zero
// digit is its name followed by its own place name (十, 百, 千, 万, 十万, 百万, 千万, 亿);
// the places above 万 are not grouped under it. A zero digit gets no place name: zeros at
// the end are not written and a run of zeros between two non-zero digits is one 零, so
// 105 is 一百零五, 1000 is 一千 and 100000 is 一十万.
//
// Numbers outside 0..999,999,999 have no place names to write them with; they come back in
// decimal digits (-3, 1000000000), so a caption still shows the true number and never fails.
std::string IntToChinese(int32_t n);

}  // namespace risview::preview
