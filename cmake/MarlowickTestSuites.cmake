# Registers a GoogleTest program with CTest as one test per test suite rather than one per
# test case: a sanitized test program takes about a second to start, and starting it once
# for each of more than a thousand cases costs more than the tests themselves. The suites are
# listed after every link, as gtest_discover_tests does.
set(MARLOWICK_TEST_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/WriteTestSuites.cmake)

function(marlowick_add_test_suites target)
  cmake_parse_arguments(arg "" "TIMEOUT" "" ${ARGN})
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 1200)
  endif()
  set(listFile ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -D PROGRAM=$<TARGET_FILE:${target}> -D OUTPUT=${listFile}
      -D TIMEOUT=${arg_TIMEOUT} -P ${MARLOWICK_TEST_SUITES_SCRIPT}
    BYPRODUCTS ${listFile}
    VERBATIM)
  # Until the program is built there is no list; a test that fails says so.
  set(includeFile ${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake)
  file(WRITE ${includeFile}
    "if(EXISTS \"${listFile}\")\n"
    "  include(\"${listFile}\")\n"
    "else()\n"
    "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${includeFile})
endfunction()
