# bench_startup: the program's start-up until its main window is shown,
# against a bare Qt main window shown in the same run (ratio; aim: at most 1.5).
if(TARGET app)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
  target_link_libraries(bench_startup PRIVATE app benchmark::benchmark)
endif()
# The peak library is read at start-up: the program's children find it beside the benchmark.
if(TARGET bench_startup AND EXISTS ${CMAKE_SOURCE_DIR}/res/PkLib.txt)
  add_custom_command(TARGET bench_startup POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/res/PkLib.txt
                             $<TARGET_FILE_DIR:bench_startup>/PkLib.txt)
endif()
