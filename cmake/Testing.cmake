# GoogleTest is built from Debian's source package so that the same code
# serves the native and the armhf build.
set(FXS_GTEST_SRC /usr/src/googletest CACHE PATH "googletest sources")

# Every test binary runs through tests/nsrun: its own IPC, mount and network
# namespace, so queues, /tmp paths and interfaces never touch the host.
# TIMEOUT: seconds a test may take (default 300).
function(fxs_add_gtest name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
  set(_launcher ${CMAKE_SOURCE_DIR}/tests/nsrun)
  if(FXS_EXEC_PREFIX)
    separate_arguments(_pfx UNIX_COMMAND "${FXS_EXEC_PREFIX}")
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${_launcher};${_pfx}")
  else()
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${_launcher}")
  endif()
  # Named instances keep their names; the default would append the raw
  # parameter bytes to every ctest name.
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT ${A_TIMEOUT})
endfunction()
