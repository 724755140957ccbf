# A file opened as the program opens it: the own format, Norvale or VAMAS.
if(TARGET data_formats)
  veltrane_add_fuzzer(NAME fuzz_document_open SOURCES ${CMAKE_CURRENT_LIST_DIR}/document_open.cpp LIBS data_formats)
endif()
