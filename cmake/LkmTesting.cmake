# Test code is built for a quick build: a little optimisation and no debug
# information. The code under test keeps its tree's options, and a tree
# configured as Debug keeps its debug information everywhere.
set(LKM_TEST_CODE_OPTIONS "")
if(NOT LKM_COMPILE_ONLY)
  set(LKM_TEST_CODE_OPTIONS $<$<CONFIG:RelWithDebInfo>:-O1> $<$<CONFIG:RelWithDebInfo>:-g0>)
endif()

# Test registration. In the Windows tree every test runs under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR, in a prefix that lives inside the build folder.
set(LKM_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

if(WIN32)
  # Create the prefix once before any test and stop its wineserver afterwards,
  # so that parallel tests do not race to create it and nothing is left running.
  # An existing prefix is reused; the server may already have exited at the end.
  add_test(NAME wine_prefix_setup
    COMMAND sh -c "test -f \"$WINEPREFIX/system.reg\" || wineboot -i")
  add_test(NAME wine_prefix_cleanup COMMAND sh -c "wineserver -k || true")
  set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wineprefix
    ENVIRONMENT "WINEPREFIX=${LKM_WINEPREFIX};WINEDEBUG=-all")
  set_tests_properties(wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wineprefix
    ENVIRONMENT "WINEPREFIX=${LKM_WINEPREFIX};WINEDEBUG=-all")
endif()

# lkm_add_test(NAME <name> COMMAND <target or program> [args...])
function(lkm_add_test)
  cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  lkm_wine_test_properties(${T_NAME})
endfunction()

# Gives a test the Wine environment (Windows tree only), and any further
# variables of its own.
function(lkm_wine_test_properties name)
  set(environment ${ARGN})
  if(WIN32)
    list(APPEND environment WINEPREFIX=${LKM_WINEPREFIX} WINEDEBUG=-all)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wineprefix)
  endif()
  if(environment)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
  endif()
endfunction()

# lkm_add_sharded_test(NAME <name> SHARDS <n> COMMAND <target>): a GoogleTest
# program whose tests are split among n tests <name>_0 ... that ctest runs side
# by side; together they run every test once.
function(lkm_add_sharded_test)
  cmake_parse_arguments(T "" "NAME;SHARDS" "COMMAND" ${ARGN})
  math(EXPR last "${T_SHARDS} - 1")
  foreach(index RANGE ${last})
    add_test(NAME ${T_NAME}_${index} COMMAND ${T_COMMAND})
    lkm_wine_test_properties(${T_NAME}_${index} GTEST_TOTAL_SHARDS=${T_SHARDS} GTEST_SHARD_INDEX=${index})
  endforeach()
endfunction()

# The test framework's header, parsed once for a test program of many files
# rather than once in each of them.
function(lkm_test_framework_header target)
  target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <cstdint> <string> <vector>)
endfunction()
