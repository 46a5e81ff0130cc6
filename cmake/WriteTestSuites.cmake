# Run as a script: lists the suites of PROGRAM and writes an add_test for each to OUTPUT.
execute_process(COMMAND ${PROGRAM} --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE status TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${status})")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  # A suite line starts at column 0 and ends its name with a dot ("Suite." or
  # "Prefix/Suite.  # TypeParam = ..."); its cases follow, indented.
  if(line MATCHES "^([^ ][^ ]*)\\.")
    set(suite ${CMAKE_MATCH_1})
    string(APPEND script
      "add_test([==[${suite}]==] [==[${PROGRAM}]==] [==[--gtest_filter=${suite}.*]==])\n"
      "set_tests_properties([==[${suite}]==] PROPERTIES TIMEOUT ${TIMEOUT})\n")
  endif()
endforeach()
file(WRITE ${OUTPUT} "${script}")
