# bench_grid: repainting and scrolling one screen of a 64,000-row grid against a
# 100-row one; the ratio should stay close to 1.
if(TARGET UGrid)
  add_executable(bench_grid ${CMAKE_CURRENT_LIST_DIR}/grid_bench.cpp)
  target_link_libraries(bench_grid PRIVATE UGrid Qt6::Widgets benchmark::benchmark)
endif()
