# bench_xps_sheet: opening the XPS sheet on a full settings file (20 groups,
# 100 positions, 50 regions) against opening it on an empty one.
if(TARGET acquire_ui)
  add_executable(bench_xps_sheet ${CMAKE_CURRENT_LIST_DIR}/xps_sheet_bench.cpp)
  target_link_libraries(bench_xps_sheet PRIVATE acquire_ui Qt6::Widgets benchmark::benchmark)
endif()
