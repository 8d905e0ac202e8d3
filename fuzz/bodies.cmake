# The fuzz targets, one body each (bodies.hpp), and the bodies and what they
# share, for the libFuzzer tree, the replay tests and scripts/fuzz-smoke.sh.
set(LKM_FUZZ_TARGETS image inspect find mapping option)
set(LKM_FUZZ_BODIES
  ${CMAKE_CURRENT_LIST_DIR}/find_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inspect_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inspect_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mapping_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/option_body.cpp)
