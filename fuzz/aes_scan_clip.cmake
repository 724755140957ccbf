# The AES scan point and area clipboard readers.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME aes_scan_clip SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/aes_scan_clip.cpp LIBS acquire_core)
endif()
