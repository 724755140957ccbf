# The AES regions page's section of a settings file.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME aes_regions SOURCES ${CMAKE_CURRENT_LIST_DIR}/aes_regions.cpp LIBS acquire_core)
endif()
