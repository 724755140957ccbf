# bench_image: repainting a 1024 x 1024 map in a 400 x 400 pane against a
# 256 x 256 map in the same pane (offscreen platform).
if(TARGET app_image)
  add_executable(bench_image ${CMAKE_CURRENT_LIST_DIR}/image_bench.cpp)
  target_link_libraries(bench_image PRIVATE app_image benchmark::benchmark)
endif()
