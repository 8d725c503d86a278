# Included by CTest (never by the build): registers one CTest test per GoogleTest suite of a test
# executable, so the cases of one fixture share one process and its start-up.
#
# Set before including:
#   SUITES_EXECUTABLE  the test executable
#   SUITES_PREFIX      prepended to every test name ("json" gives "json.JsonDocument")
#   SUITES_ENV         the environment of every test, a list of VAR=value
#   SUITES_CACHE       where the list of suites is kept until the executable changes
#   SUITES_TIMEOUT     seconds one suite may take
#   SUITES_CMAKE       the cmake executable
#
# The list is asked of the executable here, at test time, with the tests' own environment, and
# with leak checking on and no suppressions: listing must start nothing (no QApplication, no
# media framework), so a listing that leaks or fails is itself a fault. It shows as the failed
# test "<prefix>.listing" with the executable's output, rather than as a broken build.

if(NOT EXISTS "${SUITES_CACHE}" OR "${SUITES_EXECUTABLE}" IS_NEWER_THAN "${SUITES_CACHE}")
  execute_process(
    COMMAND "${SUITES_CMAKE}" -E env ${SUITES_ENV}
            "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0" "LSAN_OPTIONS="
            "${SUITES_EXECUTABLE}" --gtest_list_tests
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE listing_errors
    RESULT_VARIABLE listing_result
    TIMEOUT 120)
  if(NOT listing_result EQUAL 0)
    set(report "${SUITES_CACHE}.failed")
    file(WRITE "${report}" "listing the tests of ${SUITES_EXECUTABLE} failed (${listing_result}):\n"
                           "${listing}\n${listing_errors}\n")
    add_test("${SUITES_PREFIX}.listing" sh -c "cat '${report}'; exit 1")
    return()
  endif()
  set(suites "")
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    # Suite lines start in the first column and end with a dot, before any "# TypeParam" note.
    if(line MATCHES "^([A-Za-z_][A-Za-z0-9_/]*)\\.( |$)")
      set(suite "${CMAKE_MATCH_1}")
      if(NOT suite MATCHES "^DISABLED_")
        list(APPEND suites "${suite}")
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  file(WRITE "${SUITES_CACHE}" "${suites}")
endif()

file(READ "${SUITES_CACHE}" suites)
foreach(suite IN LISTS suites)
  string(REPLACE "/" "_" name "${suite}")
  add_test("${SUITES_PREFIX}.${name}" "${SUITES_EXECUTABLE}" "--gtest_filter=${suite}.*")
  set_tests_properties("${SUITES_PREFIX}.${name}" PROPERTIES
    ENVIRONMENT "${SUITES_ENV}"
    TIMEOUT ${SUITES_TIMEOUT}
    # A suite whose every case skipped itself ran nothing: the test mains say so with 77.
    SKIP_RETURN_CODE 77)
endforeach()
