# The stage-unit reply parser and the serial-port settings text of the machine
# configuration (sources compiled in, so libFuzzer sees their coverage).
if(TARGET instrument)
  veltrane_add_fuzzer(NAME fuzz_ascu_reply
                      SOURCES ${CMAKE_CURRENT_LIST_DIR}/ascu_reply.cpp ${CMAKE_SOURCE_DIR}/instrument/AscuReply.cpp
                              ${CMAKE_SOURCE_DIR}/platform/SerialPort.cpp)
  if(TARGET fuzz_ascu_reply)
    target_include_directories(fuzz_ascu_reply PRIVATE ${CMAKE_SOURCE_DIR})
  endif()
endif()
