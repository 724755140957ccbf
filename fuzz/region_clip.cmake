if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME fuzz_region_clip SOURCES ${CMAKE_CURRENT_LIST_DIR}/region_clip_fuzz.cpp LIBS acquire_core)
endif()
