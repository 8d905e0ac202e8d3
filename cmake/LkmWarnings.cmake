# One place for the warning set, the runtime linkage and the size optimisation of
# the targets.
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

# The plug-in ships small: the Windows tree compiles it and every library linked
# into it for size, one section per function and datum, so that the linker drops
# whatever nothing calls. Tests in that tree link the same objects. The native
# tree keeps its speed optimisation for the benchmarks.
function(lkm_size_optimised target)
  if(MINGW)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "STATIC_LIBRARY")
      target_link_options(${target} PRIVATE -Wl,--gc-sections)
    endif()
  endif()
endfunction()
