# bench_engine: the acquisition engine's own work (saves, data hand-off,
# bookkeeping) in an emulated 100-level depth profile, against the same run
# with saves and updates stubbed, in the same process.
if(TARGET instrument AND TARGET data_formats)
  add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
  target_link_libraries(bench_engine PRIVATE instrument data_formats benchmark::benchmark)
  target_include_directories(bench_engine PRIVATE ${CMAKE_SOURCE_DIR}/tests/instrument)
endif()
