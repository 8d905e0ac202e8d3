# Cross toolchain for the 32-bit Windows build (mingw-w64, posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# GCC's runtime folder of the posix thread model (Debian: .../gcc/i686-w64-mingw32/12-posix),
# beside which lies the win32 thread model's (12-win32).
execute_process(COMMAND i686-w64-mingw32-gcc-posix -print-libgcc-file-name OUTPUT_VARIABLE LKM_MINGW_LIBGCC
  OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(LKM_MINGW_RUNTIME_DIR "${LKM_MINGW_LIBGCC}" DIRECTORY)
# Everything runs under Wine on the build machine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
