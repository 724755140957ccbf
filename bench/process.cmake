# bench_process: the Savitzky-Golay filter of width 35 on 100,000 points
# against one plain 35-tap convolution of the same curve (aim: ratio <= 2),
# and a Shirley background on 10,000 points against one plain pass of the
# same iteration (aim: ratio < 5).
if(TARGET analysis_core)
  add_executable(bench_process ${CMAKE_CURRENT_LIST_DIR}/process_bench.cpp)
  target_link_libraries(bench_process PRIVATE analysis_core benchmark::benchmark)
  target_compile_definitions(bench_process PRIVATE VELTRANE_SAVGOL_DAT="${CMAKE_SOURCE_DIR}/res/Savgol.dat")
endif()
