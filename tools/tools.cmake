# Tools: the demo host and scenario driver (Windows), benchmarks (native).
if(NOT WIN32 AND RISVIEW_TESTS)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(core_bench ${CMAKE_SOURCE_DIR}/tools/bench/core_bench.cpp)
    target_link_libraries(core_bench PRIVATE risview_testing benchmark::benchmark)
  endif()
endif()
