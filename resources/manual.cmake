# Stages the manual page into the run directory, where F1 reads it.
add_custom_command(
  OUTPUT ${VELDKIT_RUN_DIR}/Veldkit.htm
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/Veldkit.htm ${VELDKIT_RUN_DIR}/Veldkit.htm
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/Veldkit.htm
  COMMENT "Staging Veldkit.htm"
  VERBATIM)
add_custom_target(veldkit_manual ALL DEPENDS ${VELDKIT_RUN_DIR}/Veldkit.htm)
add_dependencies(veldkit veldkit_manual)
