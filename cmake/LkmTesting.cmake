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

# Gives a test the Wine environment (Windows tree only).
function(lkm_wine_test_properties name)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wineprefix
      ENVIRONMENT "WINEPREFIX=${LKM_WINEPREFIX};WINEDEBUG=-all")
  endif()
endfunction()
