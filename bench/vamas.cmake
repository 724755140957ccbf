# bench_vamas: reading a large multi-block VAMAS file, our reader program
# against xylib's xyconv, whole process against whole process.
if(TARGET data_formats)
  add_executable(vamas_read ${CMAKE_CURRENT_LIST_DIR}/vamas_read.cpp)
  target_link_libraries(vamas_read PRIVATE data_formats)
  add_executable(bench_vamas ${CMAKE_CURRENT_LIST_DIR}/vamas_bench.cpp)
  target_link_libraries(bench_vamas PRIVATE benchmark::benchmark)
  target_compile_definitions(bench_vamas PRIVATE VAMAS_READ="$<TARGET_FILE:vamas_read>")
  add_dependencies(bench_vamas vamas_read)
endif()
