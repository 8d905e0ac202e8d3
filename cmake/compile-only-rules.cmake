# Link rules of a compile-only tree (clang-mingw-i686.cmake): an executable or a
# DLL is compiled and then not linked, so no binary of it exists.
foreach(lang C CXX)
  set(CMAKE_${lang}_LINK_EXECUTABLE "${CMAKE_COMMAND} -E echo \"Compiled, not linked: <TARGET_NAME>\"")
  set(CMAKE_${lang}_CREATE_SHARED_LIBRARY "${CMAKE_COMMAND} -E echo \"Compiled, not linked: <TARGET_NAME>\"")
  set(CMAKE_${lang}_CREATE_SHARED_MODULE "${CMAKE_COMMAND} -E echo \"Compiled, not linked: <TARGET_NAME>\"")
endforeach()

# Only the diagnostics are wanted, and clang gives them before it optimises or
# describes the code for a debugger: neither is done.
foreach(lang C CXX)
  set(CMAKE_${lang}_FLAGS_RELWITHDEBINFO_INIT "-O0 -DNDEBUG")
endforeach()
