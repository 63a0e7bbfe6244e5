# Test suites. The core suites build natively and for Windows (run there under Wine);
# the Windows suites only for Windows. Each Windows executable is one ctest test, since
# every Wine process start costs a second or two.
find_package(GTest REQUIRED)

# The schema files, embedded so that a test under Wine needs no path into the tree.
set(schema_header ${CMAKE_BINARY_DIR}/generated/schema_sql.h)
file(READ ${CMAKE_SOURCE_DIR}/db/ris.sql ris_sql)
file(READ ${CMAKE_SOURCE_DIR}/db/archive.sql archive_sql)
# And the release package's sample option file, which must read as it says.
file(READ ${CMAKE_SOURCE_DIR}/docs/RisOption.sample.ini sample_options)
file(CONFIGURE OUTPUT ${schema_header} CONTENT
"#pragma once\ninline constexpr const char* kRisSchemaSql = R\"sql(${ris_sql})sql\";\ninline constexpr const char* kArchiveSchemaSql = R\"sql(${archive_sql})sql\";\ninline constexpr const char* kSampleOptions = R\"ini(${sample_options})ini\";\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/db/ris.sql ${CMAKE_SOURCE_DIR}/db/archive.sql
  ${CMAKE_SOURCE_DIR}/docs/RisOption.sample.ini)

file(GLOB core_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
add_library(risview_testing STATIC ${CMAKE_SOURCE_DIR}/tests/support/fixture.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/support/report_fixture.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/support/picture_files.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/support/doubles.cpp)
target_include_directories(risview_testing PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(risview_testing PUBLIC risview_core GTest::gtest)

add_executable(core_tests ${core_test_sources})
target_link_libraries(core_tests PRIVATE risview_testing GTest::gtest_main)

if(WIN32)
  file(GLOB win_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
  if(win_test_sources)
    add_executable(win_tests ${win_test_sources})
    target_link_libraries(win_tests PRIVATE risview_testing risview_host_script winspool
                                            GTest::gtest_main)
    # Printing runs on its own, where its paper is rendered and looked at.
    add_test(NAME win_tests COMMAND win_tests --gtest_filter=-Printing.*)
    add_test(NAME print_report COMMAND ${CMAKE_SOURCE_DIR}/tests/win/check-print-report
      $<TARGET_FILE:win_tests>)
  endif()
  add_test(NAME core_tests COMMAND core_tests)
  set_tests_properties(core_tests PROPERTIES TIMEOUT 300)
else()
  include(GoogleTest)
  gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60)
endif()

# The demo host's portable parts: the script language, the transcript, the PNG writer.
file(GLOB host_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
add_executable(host_tests ${host_test_sources})
target_link_libraries(host_tests PRIVATE risview_host_script ZLIB::ZLIB GTest::gtest_main)
if(WIN32)
  add_test(NAME host_tests COMMAND host_tests)
  include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake)
else()
  gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60)
  # tests/e2e/README.md documents the commands of the table, no more and no fewer.
  add_test(NAME host_commands_documented COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-command-docs
    $<TARGET_FILE:risview-scenario> ${CMAKE_SOURCE_DIR}/tests/e2e/README.md)
endif()

# Printing through Wine's PostScript driver into a file, checked on Ghostscript's rendering.
if(WIN32)
  add_executable(print_probe ${CMAKE_SOURCE_DIR}/tests/win/print/print_probe.cpp)
  target_link_options(print_probe PRIVATE -municode)
  target_link_libraries(print_probe PRIVATE winspool comdlg32 gdi32)
  add_test(NAME print_roundtrip COMMAND ${CMAKE_SOURCE_DIR}/tests/win/check-print
    $<TARGET_FILE:print_probe>)
endif()

if(WIN32 AND TARGET risview)
  add_test(NAME dll_exports COMMAND ${CMAKE_SOURCE_DIR}/tests/win/check-exports
    $<TARGET_FILE:risview> ${CMAKE_OBJDUMP})
  # Loads on every Windows it is meant for: its imports and header flags.
  add_test(NAME dll_imports COMMAND ${CMAKE_SOURCE_DIR}/tests/win/check-imports
    $<TARGET_FILE:risview> ${CMAKE_OBJDUMP} ${CMAKE_SOURCE_DIR}/tests/win/allowed-imports.txt)
  # Both read the file and run nothing: they run on machines that cannot run the DLL too.
  set_tests_properties(dll_exports dll_imports PROPERTIES LABELS files)
endif()

# The Windows dump tool agrees with the native one, byte for byte.
if(WIN32 AND TARGET risview-dump)
  add_test(NAME risview_dump_windows COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-dump-windows
    $<TARGET_FILE:risview-dump>)
endif()

# The dump tool run as a person runs it, on the reports fixture.
if(NOT WIN32 AND TARGET risview-dump)
  add_test(NAME risview_dump COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-dump
    $<TARGET_FILE:risview-dump>)
  set_tests_properties(risview_dump PROPERTIES ENVIRONMENT "ODBCSYSINI=${CMAKE_BINARY_DIR}/odbc")
  # Every request of the hostile fixture; its ten-million-byte text takes its time.
  add_test(NAME risview_dump_hostile COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-hostile
    $<TARGET_FILE:risview-dump>)
  set_tests_properties(risview_dump_hostile PROPERTIES TIMEOUT 1200
    ENVIRONMENT "ODBCSYSINI=${CMAKE_BINARY_DIR}/odbc")
endif()

# The fuzz targets, replayed on their seeds and regression inputs (native only).
if(NOT WIN32)
  include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
endif()

# The set-up's package install on a mirror in mid-sync, against a stand-in apt-get; and the
# Wine launcher's choice of loader, against stand-in loaders; which folders each folder of
# src/ includes, against its README.
if(NOT WIN32)
  add_test(NAME setup_apt_install COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-apt-install)
  add_test(NAME wine_launcher COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-wine-launcher)
  add_test(NAME layers COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-layers)
endif()
