veltrane_add_fuzzer(NAME machine_write SOURCES ${CMAKE_CURRENT_LIST_DIR}/machine_write.cpp LIBS platform)
