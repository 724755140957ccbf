veltrane_add_fuzzer(NAME platform_archive SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_archive.cpp LIBS platform)
