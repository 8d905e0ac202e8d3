# Cross toolchain for the 32-bit Windows build with a second compiler: Debian's
# clang and lld targeting i686 mingw-w64, with the same mingw-w64 headers and
# libraries and the same GCC C++ runtime as mingw-i686.cmake. Clang does not
# find Debian's versioned GCC folders (12-posix, 12-win32) by itself, so they
# are given here: -B for GCC's crtbegin.o and crtend.o (they register the DWARF
# unwind tables that C++ exceptions need), the C++ headers and -L for the
# libraries. The game's hand-written engine code is assembled by GNU as, as in
# the GCC tree, so its bytes stay the same.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_ASM_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_SYSROOT /usr/i686-w64-mingw32)
set(CMAKE_AR llvm-ar)
set(CMAKE_RANLIB llvm-ranlib)
set(CMAKE_STRIP /usr/bin/i686-w64-mingw32-strip)
set(CMAKE_C_FLAGS_INIT "-B${LKM_MINGW_RUNTIME_DIR}")
set(CMAKE_CXX_FLAGS_INIT "-B${LKM_MINGW_RUNTIME_DIR}")
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${LKM_MINGW_RUNTIME_DIR}/include/c++
  ${LKM_MINGW_RUNTIME_DIR}/include/c++/i686-w64-mingw32 ${LKM_MINGW_RUNTIME_DIR}/include/c++/backward)
# The posix thread model's libstdc++ needs winpthreads, which GCC's driver adds.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${LKM_MINGW_RUNTIME_DIR} -lpthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${LKM_MINGW_RUNTIME_DIR} -lpthread")
