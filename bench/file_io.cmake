# bench_file_io: reading and writing a 100 MB image document against a plain
# read and write of the same bytes, in the same run.
if(TARGET data)
  add_executable(bench_file_io ${CMAKE_CURRENT_LIST_DIR}/file_io_bench.cpp)
  target_link_libraries(bench_file_io PRIVATE data benchmark::benchmark)
endif()
