# The XPS acquisition-settings reader.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME xps_settings SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xps_settings.cpp LIBS acquire_core)
endif()
