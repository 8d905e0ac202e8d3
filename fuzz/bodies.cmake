# The fuzz bodies and what they share, for the libFuzzer tree and the replay tests.
set(LKM_FUZZ_BODIES
  ${CMAKE_CURRENT_LIST_DIR}/find_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inspect_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inspect_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mapping_body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/option_body.cpp)
