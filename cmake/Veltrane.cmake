# Project-wide helpers: warnings, sanitizers, test registration and the
# check that toolkit-free targets never pull in Qt Gui or Widgets.

add_compile_options(-Wall -Wextra)

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# With the fuzz targets, every library carries libFuzzer's coverage
# instrumentation, so the fuzzers see the code they drive.
if(VELTRANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(VELTRANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VELTRANE_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

set_property(GLOBAL PROPERTY VELTRANE_TOOLKIT_FREE_TARGETS "")

# veltrane_toolkit_free(target...): declares targets that must not link Qt Gui or Widgets.
function(veltrane_toolkit_free)
  set_property(GLOBAL APPEND PROPERTY VELTRANE_TOOLKIT_FREE_TARGETS ${ARGN})
endfunction()

function(_veltrane_link_closure target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue t)
    if(t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    if(TARGET ${t})
      get_target_property(type ${t} TYPE)
      set(libs "")
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(l ${t} LINK_LIBRARIES)
        if(l)
          list(APPEND libs ${l})
        endif()
      endif()
      get_target_property(il ${t} INTERFACE_LINK_LIBRARIES)
      if(il)
        list(APPEND libs ${il})
      endif()
      foreach(lib IN LISTS libs)
        if(lib MATCHES "^\\$<LINK_ONLY:(.*)>$")
          set(lib ${CMAKE_MATCH_1})
        endif()
        if(NOT lib MATCHES "^\\$<")
          list(APPEND queue ${lib})
        endif()
      endforeach()
    endif()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(veltrane_check_toolkit_free_targets)
  get_property(targets GLOBAL PROPERTY VELTRANE_TOOLKIT_FREE_TARGETS)
  foreach(t IN LISTS targets)
    _veltrane_link_closure(${t} closure)
    foreach(lib IN LISTS closure)
      if(lib MATCHES "Qt6?::(Gui|Widgets|PrintSupport)" OR lib MATCHES "^Qt6(Gui|Widgets)$")
        message(FATAL_ERROR "Toolkit-free target ${t} links ${lib}")
      endif()
    endforeach()
  endforeach()
endfunction()

# veltrane_add_test(NAME name SOURCES ... LIBS ...): one GoogleTest program,
# registered with CTest; UI tests run on the offscreen platform.
function(veltrane_add_test)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_link_libraries(${A_NAME} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # cmake/TestEnv.cmake sets the headless platform, the fixed font and the
  # sanitizer options for discovery and runs alike.
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${PROJECT_SOURCE_DIR}/cmake/TestEnv.cmake)
  gtest_discover_tests(${A_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# veltrane_add_fuzzer(NAME name SOURCES ... LIBS ...): a libFuzzer target, built
# only with VELTRANE_FUZZ, and run by CTest for VELTRANE_FUZZ_SECONDS seeded from
# fuzz/corpus/<name> when that folder exists.
set(VELTRANE_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under CTest")
function(veltrane_add_fuzzer)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VELTRANE_FUZZ)
    return()
  endif()
  add_executable(${A_NAME} ${A_SOURCES})
  target_compile_options(${A_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${A_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${A_NAME} PRIVATE ${A_LIBS})
  set(corpus_src ${CMAKE_SOURCE_DIR}/fuzz/corpus/${A_NAME})
  set(corpus_run ${CMAKE_CURRENT_BINARY_DIR}/corpus-${A_NAME})
  set(seed_args "")
  if(EXISTS ${corpus_src})
    set(seed_args ${corpus_src})
  endif()
  add_test(NAME ${A_NAME}
           COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                   sh -c "mkdir -p '${corpus_run}' && exec \"$0\" -max_total_time=${VELTRANE_FUZZ_SECONDS} -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 '${corpus_run}' $*"
                   $<TARGET_FILE:${A_NAME}> ${seed_args})
  set_tests_properties(${A_NAME} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()
