# The web tree's toolchain: Debian's emscripten package (which needs
# NODE_PATH=/usr/share/nodejs, set by the web preset, to find its helpers).
set(LKM_EMSCRIPTEN_TOOLCHAIN /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
if(NOT EXISTS ${LKM_EMSCRIPTEN_TOOLCHAIN})
  message(FATAL_ERROR "The web tree needs Debian's emscripten package (bash scripts/install-deps.sh)")
endif()
include(${LKM_EMSCRIPTEN_TOOLCHAIN})
