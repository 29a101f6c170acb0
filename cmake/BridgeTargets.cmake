# bridge_layer builds the static library bridge_<n> with the project's
# warnings and, when tests are on, its test binaries linked to that layer
# alone, so that a call up to a higher layer fails to link there.
set(BRIDGE_WARNINGS
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    -Wnon-virtual-dtor -Woverloaded-virtual)
# GCC 12 reports -Wrestrict inside libstdc++'s string code at -O2 and above,
# where there is no overlap (a known false positive of that version).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND BRIDGE_WARNINGS -Wno-restrict)
endif()

# bridge_warnings(target...): the project's warnings on each target's own
# sources, as errors unless BRIDGE_WERROR is off.
function(bridge_warnings)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE ${BRIDGE_WARNINGS})
    set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR
                                               ${BRIDGE_WERROR})
  endforeach()
endfunction()

# bridge_tests(layer binary label sources...): one test binary of a layer,
# linked to that layer alone and to the caller's L_TEST_DEPENDS, its tests
# labelled with their kind so that ctest -L picks them: unit, interop (files
# checked against other tools) or whole-program (the built program run as
# the host runs it).
function(bridge_tests layer binary label)
  add_executable(${binary} ${ARGN})
  bridge_warnings(${binary})
  target_link_libraries(${binary} PRIVATE ${layer} bridge_testing
                        ${L_TEST_DEPENDS} GTest::gmock GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # Listing the tests would start every binary under the emulator at
    # build time; each binary is one test instead.
    add_test(NAME ${binary} COMMAND ${binary})
    set_tests_properties(${binary} PROPERTIES LABELS ${label})
  else()
    gtest_discover_tests(${binary} DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${label})
  endif()
endfunction()

# bridge_layer(NAME n SOURCES ... DEPENDS ... TESTS ... INTEROP_TESTS ...
#              PROGRAM_TESTS ... TEST_DEPENDS ...)
function(bridge_layer)
  cmake_parse_arguments(L "" "NAME"
    "SOURCES;DEPENDS;TESTS;INTEROP_TESTS;PROGRAM_TESTS;TEST_DEPENDS" ${ARGN})
  set(target bridge_${L_NAME})
  add_library(${target} STATIC ${L_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  bridge_warnings(${target})
  target_link_libraries(${target} PUBLIC ${L_DEPENDS})
  if(WIN32)
    # The wide-character API, without the macros that clash with names.
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE
                               WIN32_LEAN_AND_MEAN NOMINMAX)
  endif()
  if(NOT BRIDGE_TESTS)
    return()
  endif()
  if(L_TESTS)
    bridge_tests(${target} ${target}_tests unit ${L_TESTS})
  endif()
  if(L_INTEROP_TESTS)
    bridge_tests(${target} ${target}_interop_tests interop ${L_INTEROP_TESTS})
  endif()
  if(L_PROGRAM_TESTS)
    bridge_tests(${target} ${target}_program_tests whole-program
                 ${L_PROGRAM_TESTS})
  endif()
endfunction()
