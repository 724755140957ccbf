veltrane_add_fuzzer(NAME fuzz_grid_paste SOURCES ${CMAKE_CURRENT_LIST_DIR}/grid_paste_fuzz.cpp LIBS UGridModel)
