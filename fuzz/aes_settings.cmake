# The AES acquisition-settings reader.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME aes_settings SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/aes_settings.cpp LIBS acquire_core)
endif()
