if(TARGET data_formats)
  veltrane_add_fuzzer(NAME fuzz_norvale SOURCES ${CMAKE_CURRENT_LIST_DIR}/norvale_fuzz.cpp LIBS data_formats)
endif()
