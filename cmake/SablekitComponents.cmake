# Each subsystem of the library is its own static library, so a subsystem and
# its tests build without compiling the others; `Sablekit` links them all.
set_property(GLOBAL PROPERTY SABLEKIT_COMPONENTS "")

# sablekit_component(<name> SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
function(sablekit_component name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(sablekit_${name} STATIC ${ARG_SOURCES})
  target_include_directories(sablekit_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(sablekit_${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE sablekit_warnings ${ARG_PRIVATE_DEPS})
  set_property(GLOBAL APPEND PROPERTY SABLEKIT_COMPONENTS sablekit_${name})
endfunction()

# sablekit_test(<name> SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable per subsystem; every test case becomes a CTest test.
function(sablekit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} sablekit_warnings GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
