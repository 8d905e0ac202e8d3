# Runs the stand-in game with the plug-in under Wine, dumps its main module
# after the start-up, and checks the dump against the inspector's patch list.
# -DWINE -DGAME -DENGINE -DPLUGIN -DCHECK -DWORK -DWIDTH -DHEIGHT -DKEEP_UI
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${GAME} ${ENGINE} ${PLUGIN} DESTINATION ${WORK})
file(WRITE ${WORK}/Larkmere.WidescreenFix.ini
  "[MAIN]\r\nResX=${WIDTH}\r\nResY=${HEIGHT}\r\nKeepUIAspectRatio=${KEEP_UI}\r\n")
get_filename_component(game_name ${GAME} NAME)
execute_process(COMMAND ${WINE} ${game_name} --dump-image dump.bin WORKING_DIRECTORY ${WORK}
  OUTPUT_FILE ${WORK}/report.json RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the game exited with ${status}")
endif()
file(READ ${WORK}/Larkmere.WidescreenFix.log log)
if(NOT log MATCHES "Applied: ${WIDTH}x${HEIGHT};")
  message(FATAL_ERROR "the plug-in did not apply its patches:\n${log}")
endif()
execute_process(COMMAND ${WINE} ${CHECK} ${game_name} dump.bin ${WIDTH} ${HEIGHT} ${KEEP_UI}
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the inspector's patch list does not match the game's memory")
endif()
