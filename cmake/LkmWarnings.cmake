# One place for the warning set and the runtime linkage of every target.
function(lkm_apply_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()

# Windows binaries carry the C and C++ runtimes inside them, so nothing but
# system DLLs has to sit beside them in the game folder.
function(lkm_static_runtime target)
  if(MINGW)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()
