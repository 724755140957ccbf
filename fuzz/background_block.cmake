# Block 169 (the background limits) through the document's reader: the fuzz
# input is the block's content inside an otherwise valid data file.
if(TARGET data)
  veltrane_add_fuzzer(NAME fuzz_background_block SOURCES ${CMAKE_CURRENT_LIST_DIR}/background_block.cpp LIBS data)
  if(TARGET fuzz_background_block)
    target_include_directories(fuzz_background_block PRIVATE ${CMAKE_SOURCE_DIR}/tests/data)
  endif()
endif()
