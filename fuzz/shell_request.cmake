# The open request a second start hands to the running program over its local
# socket (toolkit-free, so it builds without the user interface).
veltrane_add_fuzzer(NAME fuzz_shell_request
                    SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_request.cpp ${CMAKE_SOURCE_DIR}/app/ShellRequest.cpp)
if(TARGET fuzz_shell_request)
  target_include_directories(fuzz_shell_request PRIVATE ${CMAKE_SOURCE_DIR})
endif()
