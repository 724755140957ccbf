# The reference fit under arbitrary inputs. Built from the library's sources so
# that the fuzzer sees their coverage.
if(TARGET pelomar_core)
  veltrane_add_fuzzer(NAME fuzz_pelomar_fit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/pelomar_fit.cpp
            ${PROJECT_SOURCE_DIR}/reffit/LeastSquares.cpp
            ${PROJECT_SOURCE_DIR}/reffit/RefFitModel.cpp
            ${PROJECT_SOURCE_DIR}/reffit/RippleSearch.cpp
            ${PROJECT_SOURCE_DIR}/reffit/ShiftSwaps.cpp
            ${PROJECT_SOURCE_DIR}/reffit/WindowScan.cpp)
  if(TARGET fuzz_pelomar_fit)
    target_include_directories(fuzz_pelomar_fit PRIVATE ${PROJECT_SOURCE_DIR})
  endif()
endif()
