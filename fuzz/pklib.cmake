if(TARGET data_formats)
  veltrane_add_fuzzer(NAME fuzz_pklib SOURCES ${CMAKE_CURRENT_LIST_DIR}/pklib_fuzz.cpp LIBS data_formats)
endif()
