# Cross toolchain that compiles every Windows source with a second compiler,
# Debian's clang targeting i686 mingw-w64, against the same mingw-w64 headers
# and GCC's C++ headers, for its diagnostics only: nothing is linked, so the
# tree holds objects and static libraries but no executable, DLL or .asi.
# Clang and GCC disagree on parts of the 32-bit mingw C++ calling convention,
# and Debian has no clang-built C++ runtime for mingw, so a clang-built Windows
# binary linked with GCC's libstdc++ would not run soundly (README, "Two
# compilers"). Clang does not find Debian's versioned GCC folders (12-posix,
# 12-win32) by itself, so the C++ headers are given here. The game's
# hand-written engine code is assembled by GNU as, as in the GCC tree.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_ASM_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_SYSROOT /usr/i686-w64-mingw32)
set(CMAKE_AR llvm-ar)
set(CMAKE_RANLIB llvm-ranlib)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${LKM_MINGW_RUNTIME_DIR}/include/c++
  ${LKM_MINGW_RUNTIME_DIR}/include/c++/i686-w64-mingw32 ${LKM_MINGW_RUNTIME_DIR}/include/c++/backward)
# Compile only: the compiler checks build a static library, every link rule
# does nothing (compile-only-rules.cmake), nothing runs under Wine, and the
# project leaves out what would use a linked binary (LKM_COMPILE_ONLY).
set(LKM_COMPILE_ONLY ON)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/compile-only-rules.cmake)
# A DLL's import library is never written, so nothing waits for it.
set(CMAKE_LINK_DEPENDS_NO_SHARED ON)
unset(CMAKE_CROSSCOMPILING_EMULATOR)
