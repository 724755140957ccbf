# The Auger sensitivity-factor library's reader over arbitrary bytes.
if(TARGET analysis_core)
  veltrane_add_fuzzer(NAME fuzz_auger_lib SOURCES ${CMAKE_CURRENT_LIST_DIR}/auger_lib_fuzz.cpp LIBS analysis_core)
endif()
