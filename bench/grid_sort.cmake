# bench_grid_sort: sorting 64,000 grid rows by a column against std::stable_sort
# of the same keys; the goal is a ratio of at most 3.
add_executable(bench_grid_sort ${CMAKE_CURRENT_LIST_DIR}/grid_sort_bench.cpp)
target_link_libraries(bench_grid_sort PRIVATE UGridModel benchmark::benchmark)
