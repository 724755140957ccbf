if(TARGET data_formats)
  veltrane_add_fuzzer(NAME fuzz_vamas SOURCES ${CMAKE_CURRENT_LIST_DIR}/vamas_fuzz.cpp LIBS data_formats)
endif()
