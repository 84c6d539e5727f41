# The program on the Linux desktop: menu entry, icons drawn by the build,
# the tile map's file type, the manual pages (the program's and its file
# formats'), bash completion and the
# package's documents, installed beside the program by the same rules for
# `cmake --install` and for the Debian package (scripts/package.sh).
find_program(GZIP_PROGRAM gzip REQUIRED)

# The version lives in one place, the one the status strip shows.
file(STRINGS ${CMAKE_SOURCE_DIR}/program/settings.h VELDKIT_VERSION_LINE REGEX "#define VELDKIT_VERSION ")
if(NOT VELDKIT_VERSION_LINE MATCHES "\"Veldkit v([0-9][0-9.]*)\"")
  message(FATAL_ERROR "No version found in program/settings.h")
endif()
set(VELDKIT_VERSION_NUMBER ${CMAKE_MATCH_1})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/program/settings.h)

set(DESKTOP_SOURCE_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)
set(DESKTOP_BUILD_DIR ${CMAKE_BINARY_DIR}/desktop)
file(MAKE_DIRECTORY ${DESKTOP_BUILD_DIR})

add_executable(make_icon tools/make_icon.cpp)
target_compile_options(make_icon PRIVATE ${VELDKIT_WARNINGS})
target_link_libraries(make_icon PRIVATE PNG::PNG m)

set(DESKTOP_OUTPUTS)
foreach(size 48 256)
  set(icon ${DESKTOP_BUILD_DIR}/icons/${size}x${size}/veldkit.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DESKTOP_BUILD_DIR}/icons/${size}x${size}
    COMMAND make_icon ${icon} ${size}
    DEPENDS make_icon
    COMMENT "Drawing the ${size} x ${size} icon"
    VERBATIM)
  list(APPEND DESKTOP_OUTPUTS ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian wants both gzipped, without a name or time stamp (-n) so that every
# build writes the same bytes.
configure_file(${DESKTOP_SOURCE_DIR}/veldkit.1 ${DESKTOP_BUILD_DIR}/veldkit.1 @ONLY)
configure_file(${DESKTOP_SOURCE_DIR}/veldkit-terrain.5 ${DESKTOP_BUILD_DIR}/veldkit-terrain.5 @ONLY)
configure_file(${DESKTOP_SOURCE_DIR}/changelog ${DESKTOP_BUILD_DIR}/changelog COPYONLY)
foreach(name veldkit.1 veldkit-terrain.5 changelog)
  add_custom_command(
    OUTPUT ${DESKTOP_BUILD_DIR}/${name}.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${DESKTOP_BUILD_DIR}/${name}
    DEPENDS ${DESKTOP_BUILD_DIR}/${name}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND DESKTOP_OUTPUTS ${DESKTOP_BUILD_DIR}/${name}.gz)
endforeach()

add_custom_target(veldkit_desktop ALL DEPENDS ${DESKTOP_OUTPUTS})
add_dependencies(veldkit veldkit_desktop)

install(FILES ${DESKTOP_SOURCE_DIR}/veldkit.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${DESKTOP_SOURCE_DIR}/veldkit-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME veldkit.xml)
install(FILES ${DESKTOP_BUILD_DIR}/veldkit.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${DESKTOP_BUILD_DIR}/veldkit-terrain.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${DESKTOP_SOURCE_DIR}/veldkit.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME veldkit)
install(FILES ${DESKTOP_SOURCE_DIR}/copyright ${DESKTOP_BUILD_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veldkit)

# The Debian package. Its run-time dependencies come from dpkg-shlibdeps.
set(VELDKIT_MAINTAINER "Veldkit developers <veldkit@example.org>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veldkit)
set(CPACK_PACKAGE_VERSION ${VELDKIT_VERSION_NUMBER})
set(CPACK_PACKAGE_VENDOR "Veldkit developers")
set(CPACK_PACKAGE_CONTACT ${VELDKIT_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and editor of combat flight simulator terrains")
set(CPACK_PACKAGE_DESCRIPTION
  "Veldkit shows a terrain's tile map and height map as a map that zooms from
one pixel a tile to 256 pixels a tile. It corrects the textures, rotations,
tags and heights of tiles, copies and pastes them, shows target areas and
airfields, and exports whole-terrain pictures: data, water, texture,
embossed relief, height and planning maps. On the command line it exports,
checks and compares terrains and imports height maps without a display.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELDKIT_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# Whatever the umask of the one who builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
