# A data file opened in an acquisition sheet, which takes its set-up from it.
if(TARGET acquire_core)
  veltrane_add_fuzzer(NAME fuzz_sheet_from_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/sheet_from_document.cpp LIBS acquire_core)
endif()
