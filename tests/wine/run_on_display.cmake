# Runs the display tests of startup_tests under xvfb-run on a screen of the given
# size, in a Wine prefix of their own that no other test's wineserver holds.
#   cmake -DXVFB_RUN=<xvfb-run> -DSCREEN=<W>x<H> -DPREFIX=<folder> -DPROGRAM=<startup_tests> -P run_on_display.cmake
cmake_minimum_required(VERSION 3.25)
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{LKM_DISPLAY} "${SCREEN}")
execute_process(COMMAND wineserver -k ERROR_QUIET OUTPUT_QUIET)
execute_process(COMMAND ${XVFB_RUN} -a -s "-screen 0 ${SCREEN}x24"
                        wine ${PROGRAM} --gtest_filter=Display.*
                RESULT_VARIABLE result)
execute_process(COMMAND wineserver -k ERROR_QUIET OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "display tests on ${SCREEN} failed (${result})")
endif()
