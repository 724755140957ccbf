# The DAU reply parser (its source compiled in, so libFuzzer sees its coverage).
if(TARGET instrument)
  veltrane_add_fuzzer(NAME fuzz_dau_reply
                      SOURCES ${CMAKE_CURRENT_LIST_DIR}/dau_reply.cpp ${CMAKE_SOURCE_DIR}/instrument/DauReply.cpp)
  if(TARGET fuzz_dau_reply)
    target_include_directories(fuzz_dau_reply PRIVATE ${CMAKE_SOURCE_DIR})
  endif()
endif()
