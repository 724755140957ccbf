# bench_pelomar: the reference fit against MINPACK's lmdif (Debian's
# libcminpack-dev, used by this benchmark only).
find_path(CMINPACK_INCLUDE_DIR cminpack.h PATH_SUFFIXES cminpack-1)
find_library(CMINPACK_LIBRARY NAMES cminpack)
if(TARGET pelomar AND CMINPACK_INCLUDE_DIR AND CMINPACK_LIBRARY)
  add_executable(bench_pelomar ${CMAKE_CURRENT_LIST_DIR}/pelomar_bench.cpp)
  target_include_directories(bench_pelomar PRIVATE ${CMINPACK_INCLUDE_DIR})
  target_link_libraries(bench_pelomar PRIVATE pelomar pelomar_core ${CMINPACK_LIBRARY} benchmark::benchmark)
elseif(TARGET pelomar)
  message(STATUS "bench_pelomar: libcminpack-dev not found, benchmark skipped")
endif()
if(TARGET bench_pelomar)
  target_compile_definitions(bench_pelomar PRIVATE
    PELOMAR_FIXTURE_DIR="${PROJECT_SOURCE_DIR}/tests/reffit/fixtures")
endif()
