# Binaries that do not depend on where or when they were built: no build folder
# in them (file names in messages and debug information are relative), and on
# Windows no link time in the PE header (TimeDateStamp and the export
# directory's stamp are 0). The release archives date their entries from the
# commit (scripts/pack_archive.sh).
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
                    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=.>")
if(MINGW)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
