# Two Debian packages, made by CPack from this build (scripts/package.sh):
#   pokotanba   the game: component `game`
#     /usr/lib/pokotanba/     the program, its headless twin pokotanba-replay,
#                             BMP/, map.txt, music.mid, the window's icon.bmp and the marker
#                             kr-installed, which tells the programs that they
#                             are installed (then they write only under the
#                             player's $XDG_DATA_HOME/pokotanba)
#     /usr/games/pokotanba    the launcher (--headless runs pokotanba-replay)
#     /usr/share/applications/pokotanba.desktop
#     /usr/share/icons/hicolor/<n>x<n>/apps/pokotanba.png, drawn by icongen
#     /usr/share/man/man6/pokotanba.6.gz
#   libkr-dev   the kit: component `kit` of cmake/install.cmake, with the
#               tools' manual pages
# Each has /usr/share/doc/<package>/copyright and changelog.gz
# (packaging/doc/). scripts/package.sh configures the build with the
# multiarch library folder (lib/<triplet>) that Debian's packages use.
# The web build has pages instead (cmake/web_pages.cmake, scripts/package.sh).
# A Windows build makes its zip instead (cmake/windows_package.cmake).
if(EMSCRIPTEN OR WIN32)
  return()
endif()
set(KR_GAME_COMPONENT game)
set(KR_GAME_DIR lib/pokotanba)
set(KR_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(KR_PACKAGE_MAINTAINER "kr developers <kr-devel@example.org>" CACHE STRING
    "The Maintainer field of the Debian packages")

# ---- the icon, drawn by the generators ----
add_executable(icongen ${KR_GEN_DIR}/icongen.cpp ${KR_GEN_DIR}/icon.cpp ${KR_GEN_DIR}/png_out.cpp
                       ${KR_GEN_DIR}/player.cpp)
target_compile_options(icongen PRIVATE -Wall -Wextra)
find_package(ZLIB REQUIRED)
target_link_libraries(icongen PRIVATE kr_gen ZLIB::ZLIB)
# The same icon as the window's (icon.bmp beside the program).
add_custom_command(
  OUTPUT ${KR_PACKAGE_DIR}/hicolor/48x48/apps/pokotanba.png ${KR_RUN_DIR}/icon.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KR_RUN_DIR}
  COMMAND icongen ${KR_PACKAGE_DIR}/hicolor ${KR_RUN_DIR}/icon.bmp
  DEPENDS icongen
  COMMENT "Drawing the game's icon")
add_custom_target(game_icon ALL DEPENDS ${KR_PACKAGE_DIR}/hicolor/48x48/apps/pokotanba.png ${KR_RUN_DIR}/icon.bmp)
list(APPEND KR_TEST_DEPS icongen game_icon)

# ---- the game component ----
file(WRITE ${KR_PACKAGE_DIR}/kr-installed
     "This program is installed: it writes its settings, screenshots and log under\n"
     "$XDG_DATA_HOME/<this folder's name> (else ~/.local/share/<this folder's name>).\n")
install(TARGETS pokotanba pokotanba-replay RUNTIME DESTINATION ${KR_GAME_DIR} COMPONENT ${KR_GAME_COMPONENT})
install(DIRECTORY ${KR_RUN_DIR}/BMP DESTINATION ${KR_GAME_DIR} COMPONENT ${KR_GAME_COMPONENT})
install(FILES ${KR_RUN_DIR}/map.txt ${KR_RUN_DIR}/music.mid ${KR_RUN_DIR}/icon.bmp ${KR_PACKAGE_DIR}/kr-installed
        DESTINATION ${KR_GAME_DIR} COMPONENT ${KR_GAME_COMPONENT})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/pokotanba.sh DESTINATION games RENAME pokotanba
        COMPONENT ${KR_GAME_COMPONENT})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/pokotanba.desktop DESTINATION share/applications
        COMPONENT ${KR_GAME_COMPONENT})
install(DIRECTORY ${KR_PACKAGE_DIR}/hicolor DESTINATION share/icons COMPONENT ${KR_GAME_COMPONENT})

# ---- manual pages, copyright files and changelogs, compressed as Debian's are ----
function(kr_gzip source target)
  get_filename_component(folder ${target} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()
kr_gzip(${CMAKE_SOURCE_DIR}/packaging/man/pokotanba.6 ${KR_PACKAGE_DIR}/man/pokotanba.6.gz)
kr_gzip(${CMAKE_SOURCE_DIR}/packaging/man/imagepack.1 ${KR_PACKAGE_DIR}/man/imagepack.1.gz)
kr_gzip(${CMAKE_SOURCE_DIR}/packaging/man/soundpack.1 ${KR_PACKAGE_DIR}/man/soundpack.1.gz)
kr_gzip(${CMAKE_SOURCE_DIR}/packaging/doc/changelog ${KR_PACKAGE_DIR}/changelog.gz)
install(FILES ${KR_PACKAGE_DIR}/man/pokotanba.6.gz DESTINATION share/man/man6 COMPONENT ${KR_GAME_COMPONENT})
install(FILES ${KR_PACKAGE_DIR}/man/imagepack.1.gz ${KR_PACKAGE_DIR}/man/soundpack.1.gz DESTINATION share/man/man1
        COMPONENT kit)
foreach(package_component pokotanba:${KR_GAME_COMPONENT} libkr-dev:kit)
  string(REPLACE ":" ";" package_component ${package_component})
  list(GET package_component 0 package)
  list(GET package_component 1 component)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/doc/${package}.copyright DESTINATION share/doc/${package}
          RENAME copyright COMPONENT ${component})
  install(FILES ${KR_PACKAGE_DIR}/changelog.gz DESTINATION share/doc/${package} COMPONENT ${component})
endforeach()

# Packaging builds only what the two packages hold (the package_parts
# target), not the tests and benchmarks of `all`.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(package_parts)
function(kr_package_parts)
  add_dependencies(package_parts pokotanba pokotanba-replay game_assets game_music game_icon
                   kr_engine kr_platform kr_platform_sdl imagepack soundpack)
  # Libraries and the reference that the kit holds when the build has them.
  foreach(optional kr_headless kr_driver kit_reference)
    if(TARGET ${optional})
      add_dependencies(package_parts ${optional})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kr_package_parts)

# ---- CPack: one .deb per component ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kr)
set(CPACK_PACKAGE_VENDOR "kr developers")
set(CPACK_PACKAGE_VERSION ${KR_KIT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGE_CONTACT "${KR_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${KR_GAME_COMPONENT} kit)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies of the programs come from dpkg-shlibdeps; the fonts
# are data the programs look up at run time. The game plays no music, so it
# neither needs nor recommends a SoundFont.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME pokotanba)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho")
string(CONCAT CPACK_DEBIAN_GAME_DESCRIPTION
    "small top-down action game: walk the field and swing a toy hammer\n"
    "ポコタンバ！ is a small action game in a window: the player walks a field of\n"
    "tiles with the arrow keys and swings a big toy hammer with C, followers come\n"
    "running, and a tree waits to be felled. Settings and screenshots are kept\n"
    "under ~/.local/share/pokotanba. `pokotanba --headless` plays the game without\n"
    "a window from an input script.")

set(CPACK_DEBIAN_KIT_PACKAGE_NAME libkr-dev)
set(CPACK_DEBIAN_KIT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_KIT_PACKAGE_DEPENDS
    "libsdl2-dev, libfreetype-dev, libfontconfig-dev, libfluidsynth-dev, pkg-config")
set(CPACK_DEBIAN_KIT_PACKAGE_RECOMMENDS "cmake, g++, fonts-ipafont-gothic, fonts-ipafont-mincho, fluid-soundfont-gm")
string(CONCAT CPACK_DEBIAN_KIT_DESCRIPTION
    "kr 2D game engine kit: headers, static libraries and tools\n"
    "The kr engine gives a game a window with frame pacing, images with colour-keyed\n"
    "copies and effects, Japanese text, sounds, music and the keyboard, mouse and\n"
    "joysticks. This package holds its headers, its static libraries for a game in\n"
    "a window (SDL2) and for headless runs with the script driver (any game's\n"
    "--frames, --input, --screenshot and --audio), the CMake package\n"
    "(find_package(kr)), the pkg-config files kr and kr-headless, and the imagepack\n"
    "and soundpack tools.")

include(CPack)
