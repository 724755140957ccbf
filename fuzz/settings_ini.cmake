veltrane_add_fuzzer(NAME settings_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_ini.cpp LIBS platform)
