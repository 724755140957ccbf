# The Savitzky-Golay coefficient file's reader over arbitrary bytes.
if(TARGET analysis_core)
  veltrane_add_fuzzer(NAME fuzz_savgol SOURCES ${CMAKE_CURRENT_LIST_DIR}/savgol_fuzz.cpp LIBS analysis_core)
endif()
