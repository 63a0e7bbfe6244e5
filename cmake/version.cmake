# The library's version, in one place: the list dialog's F12 box shows it as "V" + this,
# the version resource carries it as text and as numbers (2.070823.01 gives 2,7,823,1: the
# year-month and the day-build of the middle field), and the release package is named by it.
set(RISVIEW_VERSION 2.070823.01)

if(NOT RISVIEW_VERSION MATCHES "^([0-9]+)\\.([0-9][0-9])([0-9][0-9][0-9][0-9])\\.([0-9]+)$")
  message(FATAL_ERROR "RISVIEW_VERSION ${RISVIEW_VERSION} is not N.NNNNNN.NN")
endif()
math(EXPR v1 "${CMAKE_MATCH_1}")
math(EXPR v2 "${CMAKE_MATCH_2}")
math(EXPR v3 "${CMAKE_MATCH_3}")
math(EXPR v4 "${CMAKE_MATCH_4}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/risview_version.h CONTENT
"#pragma once
#define RISVIEW_VERSION_TEXT \"V${RISVIEW_VERSION}\"
#define RISVIEW_VERSION_NUMBERS ${v1},${v2},${v3},${v4}
")
