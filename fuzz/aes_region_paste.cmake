# Region records from the clipboard pasted into the AES regions page's model.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME fuzz_aes_region_paste SOURCES ${CMAKE_CURRENT_LIST_DIR}/aes_region_paste.cpp LIBS acquire_core)
endif()
