# One place for the warning set, the runtime linkage and the size optimisation of
# the targets.
function(lkm_apply_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE ${LKM_WARNINGS})
  endif()
endfunction()

# The project's own code builds without a warning; third-party code (GoogleTest,
# the benchmark library) never gets these flags. LKM_HOST_WARNINGS is the same
# set for the tools the host compiler builds inside the Windows tree.
option(LKM_WERROR "Treat warnings in the project's own code as errors" ON)
set(LKM_WARNINGS -Wall -Wextra -Wshadow -Wconversion)
if(LKM_WERROR)
  list(APPEND LKM_WARNINGS -Werror)
endif()
set(LKM_HOST_WARNINGS ${LKM_WARNINGS})

# Windows code checks, on return, the stack frames that hold arrays (the stack
# protector; GCC and clang both link its static libssp, so no DLL comes with it).
# Address randomisation and non-executable data are the linkers' defaults.
if(MINGW)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>")
  add_link_options(-fstack-protector-strong)
endif()

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
