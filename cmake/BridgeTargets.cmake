# bridge_layer(NAME n SOURCES ... DEPENDS ... TESTS ...)
# Builds the static library bridge_<n> with the project's warnings and, when
# tests are on, the test binary bridge_<n>_tests linked to that layer alone,
# so that a call up to a higher layer fails to link there.
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

function(bridge_layer)
  cmake_parse_arguments(L "" "NAME" "SOURCES;DEPENDS;TESTS;TEST_DEPENDS" ${ARGN})
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
  if(BRIDGE_TESTS AND L_TESTS)
    add_executable(${target}_tests ${L_TESTS})
    bridge_warnings(${target}_tests)
    target_link_libraries(${target}_tests PRIVATE ${target} bridge_testing
                          ${L_TEST_DEPENDS} GTest::gmock GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING)
      # Listing the tests would start every binary under the emulator at
      # build time; each binary is one test instead.
      add_test(NAME ${target}_tests COMMAND ${target}_tests)
      set_tests_properties(${target}_tests PROPERTIES LABELS unit)
    else()
      # ctest -L picks a kind: tests that run the built program, tests that
      # check files against other tools, and the rest.
      set(program_tests
        "WholeProgram.*:OverlappingJobs.*:DeviceLock.*:SitePaths.*:HeldFiles.*")
      set(interop_tests "*Interop*")
      gtest_discover_tests(${target}_tests DISCOVERY_TIMEOUT 60
        TEST_FILTER "${program_tests}" PROPERTIES LABELS whole-program)
      gtest_discover_tests(${target}_tests DISCOVERY_TIMEOUT 60
        TEST_FILTER "${interop_tests}" PROPERTIES LABELS interop)
      gtest_discover_tests(${target}_tests DISCOVERY_TIMEOUT 60
        TEST_FILTER "-${program_tests}:${interop_tests}"
        PROPERTIES LABELS unit)
    endif()
  endif()
endfunction()
