# Block 196 (the quantification state) through the document's reader: the fuzz
# input is the block's content inside an otherwise valid data file.
if(TARGET data)
  veltrane_add_fuzzer(NAME fuzz_quantify_block SOURCES ${CMAKE_CURRENT_LIST_DIR}/quantify_block.cpp LIBS data)
  if(TARGET fuzz_quantify_block)
    target_include_directories(fuzz_quantify_block PRIVATE ${CMAKE_SOURCE_DIR}/tests/data)
  endif()
endif()
