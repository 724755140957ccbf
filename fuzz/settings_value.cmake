# The reader of the user-settings value.
if(TARGET data)
  veltrane_add_fuzzer(NAME settings_value SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings_value.cpp LIBS data)
endif()
