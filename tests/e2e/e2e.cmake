# End-to-end scenarios: the demo host loads the library under Wine and a script drives its
# windows (tests/e2e/README.md). Each scenario file is one ctest test and one Wine start.
# Scenarios under scenarios/ run against the library; the host's own scenarios under host/
# run against the test double in fake/.
add_library(risview_fake SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/fake/fake_library_win.cpp)
target_link_libraries(risview_fake PRIVATE risview_core)
# The export keeps its plain name, as the library's does: no "@8" of the stdcall decoration.
target_link_options(risview_fake PRIVATE -Wl,--kill-at)
set_target_properties(risview_fake PROPERTIES OUTPUT_NAME risview PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake)

# Programs a scenario starts beside the library (`start`): a stand-in for the image viewer's
# window, and a process that only waits, under the browser's executable name and under the
# same name in lower case, each in a folder of its own.
set(e2e_helpers ${CMAKE_BINARY_DIR}/e2e-helpers)
add_executable(e2e_viewer_window WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/helpers/viewer_window_win.cpp)
set_target_properties(e2e_viewer_window PROPERTIES OUTPUT_NAME viewer-window
  RUNTIME_OUTPUT_DIRECTORY ${e2e_helpers})
foreach(spelling IN ITEMS "browser;IEXPLORE;.EXE" "other;iexplore;.exe")
  list(GET spelling 0 folder)
  list(GET spelling 1 name)
  list(GET spelling 2 suffix)
  add_executable(e2e_idle_${folder} WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/helpers/idle_process_win.cpp)
  set_target_properties(e2e_idle_${folder} PROPERTIES OUTPUT_NAME ${name} SUFFIX ${suffix}
    RUNTIME_OUTPUT_DIRECTORY ${e2e_helpers}/${folder})
endforeach()

# A rich edit library of no use, planted by `plant-riched20` where only a library loaded by
# name, not from the system folder, would find it.
add_library(e2e_planted_riched20 SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/helpers/planted_library_win.cpp)
set_target_properties(e2e_planted_riched20 PROPERTIES OUTPUT_NAME riched20 PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${e2e_helpers}/planted)

# A library that only shows a window and runs a thread, to weigh a load-and-free cycle
# against (docs/reliability.md).
add_library(e2e_minimal_library SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/helpers/minimal_library_win.cpp)
target_link_options(e2e_minimal_library PRIVATE -Wl,--kill-at)
set_target_properties(e2e_minimal_library PROPERTIES OUTPUT_NAME minimal-library PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${e2e_helpers})

# The default printer of a scenario that prints, printing into a file (run by the runner).
add_executable(e2e_test_printer ${CMAKE_SOURCE_DIR}/tests/e2e/helpers/test_printer_win.cpp)
target_include_directories(e2e_test_printer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(e2e_test_printer PRIVATE -municode)
target_link_libraries(e2e_test_printer PRIVATE winspool)
set_target_properties(e2e_test_printer PROPERTIES OUTPUT_NAME test-printer
  RUNTIME_OUTPUT_DIRECTORY ${e2e_helpers})

# The library itself: a build without it is an error, never a run against the stand-in.
set(e2e_library $<TARGET_FILE:risview>)

function(add_scenarios folder prefix library)
  file(GLOB scenarios CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/${folder}/*.scn)
  foreach(scenario IN LISTS scenarios)
    get_filename_component(name ${scenario} NAME_WE)
    add_test(NAME ${prefix}${name}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/run-scenario
        --host $<TARGET_FILE:risview-host> --dll ${library} ${scenario})
    set_tests_properties(${prefix}${name} PROPERTIES TIMEOUT 240 LABELS e2e SKIP_RETURN_CODE 77)
  endforeach()
endfunction()

add_scenarios(scenarios e2e_ ${e2e_library})

# The scenarios that reach the report pages once more against PostgreSQL, read by a role
# that holds SELECT only: the server itself shows that nothing the library does writes.
foreach(name IN ITEMS open-by-itself open-first-row open-empty-password preview-tabs
                      preview-page-classes preview-cycles)
  add_test(NAME e2e_readonly_${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/run-scenario --backend postgres
      --host $<TARGET_FILE:risview-host> --dll ${e2e_library}
      ${CMAKE_SOURCE_DIR}/tests/e2e/scenarios/${name}.scn)
  set_tests_properties(e2e_readonly_${name} PROPERTIES TIMEOUT 240 LABELS "e2e;readonly"
    SKIP_RETURN_CODE 77)
endforeach()
add_scenarios(host e2e_host_ $<TARGET_FILE:risview_fake>)

# Scenarios over the benchmark's generated reports (pictures of detector size, 163 MB in
# all), made once for every build by the native generator: see scripts/bench-fixture.
set(bench_fixture ${CMAKE_SOURCE_DIR}/build/bench/fixture)
add_test(NAME e2e_bench_fixture COMMAND ${CMAKE_SOURCE_DIR}/scripts/bench-fixture ${bench_fixture})
set_tests_properties(e2e_bench_fixture PROPERTIES FIXTURES_SETUP bench_fixture TIMEOUT 600)
file(GLOB generated_scenarios CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/generated/*.scn)
foreach(scenario IN LISTS generated_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME e2e_${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/run-scenario
      --host $<TARGET_FILE:risview-host> --dll ${e2e_library} ${scenario})
  set_tests_properties(e2e_${name} PROPERTIES TIMEOUT 240 LABELS e2e SKIP_RETURN_CODE 77
    FIXTURES_REQUIRED bench_fixture ENVIRONMENT RISVIEW_FIXTURES=${bench_fixture})
endforeach()

# A scenario that must fail, and fail for the right reason: a driver that checked nothing
# would let every scenario pass.
add_test(NAME e2e_host_reports_mismatch
  COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/run-scenario --host $<TARGET_FILE:risview-host>
    --dll $<TARGET_FILE:risview_fake>
    --expect-failure "box text: expected \"RIS连接成功\", found \"RIS连接失败！\""
    ${CMAKE_SOURCE_DIR}/tests/e2e/host/failing/box-mismatch.scn)
set_tests_properties(e2e_host_reports_mismatch PROPERTIES TIMEOUT 240 LABELS e2e
  SKIP_RETURN_CODE 77)
