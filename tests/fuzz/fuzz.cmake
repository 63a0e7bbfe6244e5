# Fuzz targets for every parser that takes outside data. Each target file defines
# LLVMFuzzerTestOneInput. With RISVIEW_FUZZ (a clang build, `make fuzz`) each becomes a
# libFuzzer program; otherwise all of them go into one replay program that the suites
# run on the generated seeds and on the committed regression inputs.
option(RISVIEW_FUZZ "Build the libFuzzer programs (clang only)" OFF)

set(fuzz_dir ${CMAKE_SOURCE_DIR}/tests/fuzz)
# Also listed in replay_main.cpp and scripts/fuzz.
set(fuzz_targets text ini_file picture_header jpeg_decode age_text chinese_numerals sql_text
                 connection_string viewer_address)

# The doubles and the JPEG writer are plain code without the test framework.
add_library(risview_fuzz_support STATIC ${CMAKE_SOURCE_DIR}/tests/support/doubles.cpp
                                        ${CMAKE_SOURCE_DIR}/tests/support/picture_files.cpp)
target_include_directories(risview_fuzz_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(risview_fuzz_support PUBLIC risview_core)

add_executable(fuzz_seeds ${fuzz_dir}/seeds.cpp)
target_link_libraries(fuzz_seeds PRIVATE risview_fuzz_support)

if(RISVIEW_FUZZ)
  # Coverage for the code under test; the programs get libFuzzer's main.
  target_compile_options(risview_core PRIVATE -fsanitize=fuzzer-no-link)
  foreach(t IN LISTS fuzz_targets)
    add_executable(fuzz_${t} ${fuzz_dir}/${t}_fuzz.cpp)
    target_compile_options(fuzz_${t} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${t} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${t} PRIVATE risview_fuzz_support)
  endforeach()
else()
  set(replay_sources ${fuzz_dir}/replay_main.cpp)
  foreach(t IN LISTS fuzz_targets)
    set(f ${fuzz_dir}/${t}_fuzz.cpp)
    set_source_files_properties(${f} PROPERTIES COMPILE_DEFINITIONS
                                LLVMFuzzerTestOneInput=fuzz_${t})
    list(APPEND replay_sources ${f})
  endforeach()
  add_executable(fuzz_replay ${replay_sources})
  target_link_libraries(fuzz_replay PRIVATE risview_fuzz_support)

  set(seeds ${CMAKE_BINARY_DIR}/fuzz-seeds)
  add_test(NAME fuzz_seeds COMMAND fuzz_seeds ${seeds})
  set_tests_properties(fuzz_seeds PROPERTIES FIXTURES_SETUP fuzz_seeds)
  foreach(t IN LISTS fuzz_targets)
    add_test(NAME fuzz_replay_${t}
             COMMAND fuzz_replay ${t} ${seeds}/${t} ${fuzz_dir}/regressions/${t})
    set_tests_properties(fuzz_replay_${t} PROPERTIES FIXTURES_REQUIRED fuzz_seeds)
  endforeach()
endif()
