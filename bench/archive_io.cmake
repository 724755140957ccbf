# bench_archive_io: the byte archive's sequential reads and writes against plain
# read()/write() of the same bytes.
if(TARGET platform)
  add_executable(bench_archive_io ${CMAKE_CURRENT_LIST_DIR}/archive_io_bench.cpp)
  target_link_libraries(bench_archive_io PRIVATE platform benchmark::benchmark)
endif()
