# Fails, naming each file, line and header, when a C++ source or header in the
# folders -DFOLDERS (each with the folders below it) includes a header of an
# operating system: Windows' (windows.h, winternl.h and the other win*.h and
# nt*.h, shellapi.h, psapi.h, tlhelp32.h, ...), POSIX's (unistd.h, fcntl.h,
# pthread.h, dlfcn.h, sys/..., ...) or Emscripten's. The standard library and
# the compiler's own headers (emmintrin.h) are no platform.
set(platform "^(win[a-z0-9_]*|nt[a-z0-9_]*|shellapi|shlobj|shlwapi|psapi|tlhelp32|dbghelp|io|direct|process)\\.h$")
string(APPEND platform "|^(unistd|fcntl|pthread|dlfcn|dirent|termios|poll|netdb|pwd|grp|spawn|syslog)\\.h$")
string(APPEND platform "|^(sys|linux|mach|arpa|netinet|emscripten)/|^emscripten\\.h$")

set(report "")
set(count 0)
foreach(folder IN LISTS FOLDERS)
  file(GLOB_RECURSE files "${folder}/*.hpp" "${folder}/*.h" "${folder}/*.cpp")
  if(NOT files)
    message(FATAL_ERROR "No C++ sources in ${folder}; has the folder moved?")
  endif()
  foreach(file IN LISTS files)
    file(STRINGS "${file}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
        continue()
      endif()
      set(header "${CMAKE_MATCH_1}")
      math(EXPR count "${count} + 1")
      string(TOLOWER "${header}" lower)
      if(lower MATCHES "${platform}")
        string(APPEND report "\n  ${file}:${number} includes ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(report)
  message(FATAL_ERROR "Platform headers in the portable code:${report}")
endif()
list(JOIN FOLDERS ", " folders)
message(STATUS "${count} includes in ${folders}, none of a platform header")
