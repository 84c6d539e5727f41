# Generates the demo terrain that the run script opens: tile map, height map,
# texture list, target areas and the texture bitmaps, all into run/demo.
add_executable(make_demo_terrain tools/make_demo_terrain.cpp)
target_compile_options(make_demo_terrain PRIVATE ${VELDKIT_WARNINGS})
target_link_libraries(make_demo_terrain PRIVATE PkgConfig::ALLEGRO m)

set(DEMO_DIR ${VELDKIT_RUN_DIR}/demo)
set(DEMO_TEXTURES water shallows coast coast_corner coast_inlet beach grass fields_green fields_patch
    fields_harvest forest marsh heath rock snow town)
set(DEMO_OUTPUTS ${DEMO_DIR}/Demo.TFD ${DEMO_DIR}/Demo.hfd ${DEMO_DIR}/Demo_DATA.ini ${DEMO_DIR}/Demo_TARGETS.ini)
foreach(texture ${DEMO_TEXTURES})
  list(APPEND DEMO_OUTPUTS ${DEMO_DIR}/${texture}.bmp)
endforeach()

# The generator may be built with the sanitizers; the library's own
# allocations at exit are not ours to report.
add_custom_command(
  OUTPUT ${DEMO_OUTPUTS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_DIR}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:make_demo_terrain> ${DEMO_DIR}
  DEPENDS make_demo_terrain
  COMMENT "Generating the demo terrain"
  VERBATIM)
add_custom_target(demo_terrain ALL DEPENDS ${DEMO_OUTPUTS})
add_dependencies(veldkit demo_terrain)
