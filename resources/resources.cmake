# Builds the two datafiles from generated sheets with the library's dat tool:
# Veldkit1.dat holds the four fonts at scale 1 (objects 2 to 5), then at
# scales 2 and 3 (6 to 9, 10 to 13).
# Objects are addressed by position, so they are added unsorted (-n0); the
# grabber's date and source-path properties are stripped (-s1) so that every
# build writes the same bytes.
find_program(ALLEGRO_DAT dat REQUIRED)

add_executable(make_font_sheets tools/make_font_sheets.cpp)
target_compile_options(make_font_sheets PRIVATE ${VELDKIT_WARNINGS})
target_link_libraries(make_font_sheets PRIVATE PkgConfig::ALLEGRO)

add_executable(make_runway_symbols tools/make_runway_symbols.cpp)
target_compile_options(make_runway_symbols PRIVATE ${VELDKIT_WARNINGS})
target_link_libraries(make_runway_symbols PRIVATE PkgConfig::ALLEGRO m)

set(SHEET_DIR ${CMAKE_BINARY_DIR}/sheets)
set(FONT_SOURCE_DIR ${CMAKE_SOURCE_DIR}/resources/fonts)
set(FONT_SOURCES
  ${FONT_SOURCE_DIR}/ABOUT.txt
  ${FONT_SOURCE_DIR}/LICENSE.txt
  ${FONT_SOURCE_DIR}/fixed_glyphs.txt
  ${FONT_SOURCE_DIR}/proportional_glyphs.txt)

add_custom_command(
  OUTPUT ${VELDKIT_RUN_DIR}/Veldkit1.dat ${VELDKIT_RUN_DIR}/Veldkit2.dat
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SHEET_DIR}
  COMMAND make_font_sheets ${SHEET_DIR} ${FONT_SOURCE_DIR}
  COMMAND make_runway_symbols ${SHEET_DIR}
  COMMAND ${CMAKE_COMMAND} -E remove -f ${VELDKIT_RUN_DIR}/Veldkit1.dat ${VELDKIT_RUN_DIR}/Veldkit2.dat
  COMMAND ${ALLEGRO_DAT} -n0 -c0 -s1 -a -t DATA ${VELDKIT_RUN_DIR}/Veldkit1.dat ${FONT_SOURCE_DIR}/ABOUT.txt ${FONT_SOURCE_DIR}/LICENSE.txt > /dev/null
  COMMAND ${ALLEGRO_DAT} -n0 -c0 -s1 -bpp 8 -a -t FONT ${VELDKIT_RUN_DIR}/Veldkit1.dat ${SHEET_DIR}/label_font.bmp ${SHEET_DIR}/map_font.bmp ${SHEET_DIR}/message_font.bmp ${SHEET_DIR}/dialog_font.bmp > /dev/null
  COMMAND ${ALLEGRO_DAT} -n0 -c0 -s1 -bpp 8 -a -t FONT ${VELDKIT_RUN_DIR}/Veldkit1.dat ${SHEET_DIR}/label_font_x2.bmp ${SHEET_DIR}/map_font_x2.bmp ${SHEET_DIR}/message_font_x2.bmp ${SHEET_DIR}/dialog_font_x2.bmp > /dev/null
  COMMAND ${ALLEGRO_DAT} -n0 -c0 -s1 -bpp 8 -a -t FONT ${VELDKIT_RUN_DIR}/Veldkit1.dat ${SHEET_DIR}/label_font_x3.bmp ${SHEET_DIR}/map_font_x3.bmp ${SHEET_DIR}/message_font_x3.bmp ${SHEET_DIR}/dialog_font_x3.bmp > /dev/null
  COMMAND ${ALLEGRO_DAT} -n0 -c0 -s1 -bpp 8 -a -t BMP ${VELDKIT_RUN_DIR}/Veldkit2.dat ${SHEET_DIR}/runway1.bmp ${SHEET_DIR}/runway2.bmp ${SHEET_DIR}/runway3.bmp ${SHEET_DIR}/runway4.bmp ${SHEET_DIR}/runway5.bmp ${SHEET_DIR}/runway6.bmp > /dev/null
  DEPENDS make_font_sheets make_runway_symbols ${FONT_SOURCES}
  COMMENT "Assembling Veldkit1.dat and Veldkit2.dat"
  VERBATIM)
add_custom_target(veldkit_datafiles ALL DEPENDS ${VELDKIT_RUN_DIR}/Veldkit1.dat ${VELDKIT_RUN_DIR}/Veldkit2.dat)
add_dependencies(veldkit veldkit_datafiles)
