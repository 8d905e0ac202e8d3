# lkm-inspect --restore-stock on the stand-in game as an earlier on-disk patch
# left it must give back the stock game byte for byte.  -DWINE -DINSPECT -DOLD -DSTOCK -DWORK
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(out ${WORK}/Larkmere.exe)
execute_process(COMMAND ${WINE} ${INSPECT} ${OLD} --restore-stock ${out}
  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE error)
message("${text}${error}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lkm-inspect --restore-stock exited with ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${out} ${STOCK} RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "the restored game differs from the stock game")
endif()
