# The tests of a Windows build, run under wine (CMAKE_CROSSCOMPILING_EMULATOR, set by the
# x86_64 toolchain file). A build without an emulator (i686: this kernel cannot run 32-bit
# programs) compiles the test program but registers no tests.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(STATUS "No CMAKE_CROSSCOMPILING_EMULATOR: qx_tests is built but not registered")
  return()
endif()

# The prefix is made once, before any test (wineboot takes several seconds).
add_test(NAME wine_prefix COMMAND bash "${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh" "${QX_WINEPREFIX}")
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 120)

# Listing the tests runs the program under wine at test time, after the fixture.
gtest_discover_tests(qx_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED wine_prefix)

# The real save dialog, under Xvfb (its test in qx_tests skips when run on its own).
add_test(NAME real_save_dialog
         COMMAND bash "${PROJECT_SOURCE_DIR}/cmake/real-dialog-test.sh" "$<TARGET_FILE:qx_tests>"
                 "${QX_WINEPREFIX}-dialog")
set_tests_properties(real_save_dialog PROPERTIES TIMEOUT 240)
