# The document's reader of its own data files, over an in-memory file.
if(TARGET data)
  veltrane_add_fuzzer(NAME data_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/data_file.cpp LIBS data)
endif()
