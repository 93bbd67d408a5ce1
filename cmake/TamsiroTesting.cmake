include(GoogleTest)

# tamsiro_test(NAME SOURCES ... LIBS ... [THREADED])
# THREADED marks a suite that runs threads against each other; the ThreadSanitizer
# build (TAMSIRO_SANITIZE=thread) builds and runs only those. Tests run with the trace
# on (TAMSIRO_DEBUG=1): a failing test's log holds the diagnostics, a death test its reason.
function(tamsiro_test name)
  cmake_parse_arguments(T "THREADED" "" "SOURCES;LIBS" ${ARGN})
  if(TAMSIRO_SANITIZE STREQUAL "thread" AND NOT T_THREADED)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(labels unit)
  if(T_THREADED)
    set(labels threaded)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS "${labels}" TIMEOUT 120 ENVIRONMENT "TAMSIRO_DEBUG=1")
endfunction()
