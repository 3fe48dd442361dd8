# Run after a test executable is built: lists its GoogleTest suites and writes OUTPUT, one CTest test
# per suite (the suite's tests in one process, as a GoogleTest executable is meant to be run; a
# process per test case spent most of the run starting processes). A suite whose every test skipped
# is reported as skipped (the line tests/support/TestMain.cpp prints).
# Variables: EXECUTABLE, OUTPUT, WORKING_DIRECTORY, NEEDS_DISPLAY (ON: the display test properties).
execute_process(COMMAND "${EXECUTABLE}" --gtest_list_tests
                WORKING_DIRECTORY "${WORKING_DIRECTORY}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 30)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${EXECUTABLE} --gtest_list_tests failed (${result}):\n${listing}${errors}")
endif()

set(properties WORKING_DIRECTORY "${WORKING_DIRECTORY}" SKIP_REGULAR_EXPRESSION "NVesk tests: every test of this run skipped")
if(NEEDS_DISPLAY)
  list(APPEND properties RESOURCE_GROUPS x_display:1 ENVIRONMENT NVESK_TEST_NEEDS_DISPLAY=1)
endif()
set(script "")
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  # A suite's line starts in the first column: "Suite." or "Prefix/Suite.  # TypeParam = ...".
  if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND script "add_test([==[${suite}]==] [==[${EXECUTABLE}]==] [==[--gtest_filter=${suite}.*]==])\n")
    set(quoted "")
    foreach(item IN LISTS properties)
      string(APPEND quoted " [==[${item}]==]")
    endforeach()
    string(APPEND script "set_tests_properties([==[${suite}]==] PROPERTIES${quoted})\n")
  endif()
endforeach()
if(script STREQUAL "")
  message(FATAL_ERROR "${EXECUTABLE} lists no test suites")
endif()
file(WRITE "${OUTPUT}" "${script}")
