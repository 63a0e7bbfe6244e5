# The demo host and its scenario driver. The script language, the transcript and the PNG
# writer are portable, so the native suites check them under the sanitizers too; the host
# itself is a Windows program.
add_library(risview_host_script STATIC
  ${CMAKE_SOURCE_DIR}/tools/host/commands.cpp
  ${CMAKE_SOURCE_DIR}/tools/host/script.cpp
  ${CMAKE_SOURCE_DIR}/tools/host/json.cpp
  ${CMAKE_SOURCE_DIR}/tools/host/png.cpp)
target_include_directories(risview_host_script PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(risview_host_script PUBLIC risview_core)
# Screenshots are deflated by zlib; the MinGW builds take its static library, so that the
# host needs no zlib1.dll beside it.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
target_link_libraries(risview_host_script PRIVATE ZLIB::ZLIB)
# The transcript is written by nlohmann/json. Its header comes from the build machine; the
# MinGW builds see only that folder of /usr/include, through a link in the build tree.
if(WIN32)
  find_path(NLOHMANN_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(host_json_include ${CMAKE_BINARY_DIR}/host-include)
  file(MAKE_DIRECTORY ${host_json_include})
  file(CREATE_LINK ${NLOHMANN_JSON_INCLUDE}/nlohmann ${host_json_include}/nlohmann SYMBOLIC)
  target_include_directories(risview_host_script SYSTEM PUBLIC ${host_json_include})
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(risview_host_script PUBLIC nlohmann_json::nlohmann_json)
endif()

# risview-scenario: the same parser on the build machine; the scenario runner reads its set-up
# from it (no Wine start), and `--commands` lists the language.
if(NOT WIN32)
  add_executable(risview-scenario ${CMAKE_SOURCE_DIR}/tools/host/scenario_main.cpp)
  target_link_libraries(risview-scenario PRIVATE risview_host_script)
  set_target_properties(risview-scenario PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endif()

if(WIN32)
  add_executable(risview-host
    ${CMAKE_SOURCE_DIR}/tools/host/main_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/driver_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/step_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/steps_calls_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/steps_windows_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/steps_input_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/steps_checks_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/steps_pictures_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/steps_programs_win.cpp
    ${CMAKE_SOURCE_DIR}/tools/host/ui_win.cpp)
  target_link_libraries(risview-host PRIVATE risview_host_script comctl32 gdi32 user32 shell32 psapi ole32 oleacc)
endif()

# Benchmarks (native, `make bench`): figures only, never asserted.
if(NOT WIN32 AND RISVIEW_TESTS)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(core_bench ${CMAKE_SOURCE_DIR}/tools/bench/core_bench.cpp
                              ${CMAKE_SOURCE_DIR}/tools/bench/picture_bench.cpp
                              ${CMAKE_SOURCE_DIR}/tools/bench/pages_bench.cpp)
    target_link_libraries(core_bench PRIVATE risview_testing benchmark::benchmark)
  endif()
  # The figures of `make bench` over the generated reports: medians and ratios, a table each.
  add_executable(bench-figures ${CMAKE_SOURCE_DIR}/tools/bench/bench_figures.cpp)
  target_link_libraries(bench-figures PRIVATE risview_testing)
endif()
# What a statement costs through the waits, in the Windows build under Wine (make bench).
if(WIN32 AND RISVIEW_TESTS)
  add_executable(waits-bench ${CMAKE_SOURCE_DIR}/tools/bench/waits_bench_win.cpp)
  target_link_libraries(waits-bench PRIVATE risview_testing)
endif()
# The reports and pictures the figures (and scenarios) open; portable C++ over libjpeg only.
if(NOT WIN32)
  add_executable(bench-fixture ${CMAKE_SOURCE_DIR}/tools/bench/bench_fixture.cpp)
  target_link_libraries(bench-fixture PRIVATE JPEG::JPEG)
  # Optimised in every build: the scenarios of make test have it make 163 MB of pictures,
  # 40 s of work under the sanitizers, 7 s without (the bytes are the same).
  target_compile_options(bench-fixture PRIVATE -O2 -fno-sanitize=all)
endif()

# risview-dump: the pages of one request's report as JSON; built for Windows too, so that a
# site can check its database and layout on a workstation.
add_library(risview_dump STATIC ${CMAKE_SOURCE_DIR}/tools/dump/page_json.cpp)
target_include_directories(risview_dump PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(risview_dump PUBLIC risview_core)
if(WIN32)
  target_include_directories(risview_dump SYSTEM PUBLIC ${host_json_include})
  set(dump_platform ${CMAKE_SOURCE_DIR}/tools/dump/tool_platform_win.cpp)
else()
  target_link_libraries(risview_dump PUBLIC nlohmann_json::nlohmann_json)
  set(dump_platform ${CMAKE_SOURCE_DIR}/tools/dump/tool_platform_posix.cpp)
endif()
add_executable(risview-dump ${CMAKE_SOURCE_DIR}/tools/dump/dump_main.cpp
  ${CMAKE_SOURCE_DIR}/tools/dump/tool_platform.cpp ${dump_platform})
target_link_libraries(risview-dump PRIVATE risview_dump)
set_target_properties(risview-dump PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

# risview-protect: a password's protected form for the option file (Windows only: DPAPI).
if(WIN32)
  add_executable(risview-protect ${CMAKE_SOURCE_DIR}/tools/protect/protect_main_win.cpp)
  target_link_libraries(risview-protect PRIVATE risview_core)
  set_target_properties(risview-protect PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endif()
