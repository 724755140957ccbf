# The AES scan-control section of a settings file.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME aes_scn_settings SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/aes_scn_settings.cpp LIBS acquire_core)
endif()
