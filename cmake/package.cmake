# Two Debian packages, made by CPack from this build (scripts/package.sh):
#   pokotanba   the game: component `game`
#     /usr/lib/pokotanba/     the program, its headless twin pokotanba-replay,
#                             BMP/, map.txt, music.mid and the marker
#                             kr-installed, which tells the programs that they
#                             are installed (then they write only under the
#                             player's $XDG_DATA_HOME/pokotanba)
#     /usr/bin/pokotanba      the launcher (--headless runs pokotanba-replay)
#     /usr/share/applications/pokotanba.desktop
#     /usr/share/icons/hicolor/<n>x<n>/apps/pokotanba.png, drawn by icongen
#   libkr-dev   the kit: component `kit` of cmake/install.cmake
# A Windows build makes its zip instead (cmake/windows_package.cmake).
if(WIN32)
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
add_custom_command(
  OUTPUT ${KR_PACKAGE_DIR}/hicolor/48x48/apps/pokotanba.png
  COMMAND icongen ${KR_PACKAGE_DIR}/hicolor
  DEPENDS icongen
  COMMENT "Drawing the game's icon")
add_custom_target(game_icon ALL DEPENDS ${KR_PACKAGE_DIR}/hicolor/48x48/apps/pokotanba.png)
list(APPEND KR_TEST_DEPS icongen)

# ---- the game component ----
file(WRITE ${KR_PACKAGE_DIR}/kr-installed
     "This program is installed: it writes its settings, screenshots and log under\n"
     "$XDG_DATA_HOME/<this folder's name> (else ~/.local/share/<this folder's name>).\n")
install(TARGETS pokotanba pokotanba-replay RUNTIME DESTINATION ${KR_GAME_DIR} COMPONENT ${KR_GAME_COMPONENT})
install(DIRECTORY ${KR_RUN_DIR}/BMP DESTINATION ${KR_GAME_DIR} COMPONENT ${KR_GAME_COMPONENT})
install(FILES ${KR_RUN_DIR}/map.txt ${KR_RUN_DIR}/music.mid ${KR_PACKAGE_DIR}/kr-installed
        DESTINATION ${KR_GAME_DIR} COMPONENT ${KR_GAME_COMPONENT})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/pokotanba.sh DESTINATION bin RENAME pokotanba
        COMPONENT ${KR_GAME_COMPONENT})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/pokotanba.desktop DESTINATION share/applications
        COMPONENT ${KR_GAME_COMPONENT})
install(DIRECTORY ${KR_PACKAGE_DIR}/hicolor DESTINATION share/icons COMPONENT ${KR_GAME_COMPONENT})

# Packaging builds only what the two packages hold (the package_parts
# target), not the tests and benchmarks of `all`.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(package_parts)
function(kr_package_parts)
  add_dependencies(package_parts pokotanba pokotanba-replay game_assets game_music game_icon
                   kr_engine kr_platform kr_platform_sdl imagepack soundpack)
  # Libraries that the kit holds when the build has them.
  foreach(optional kr_headless kr_driver)
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
# and the sound font are data the programs look up at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME pokotanba)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho")
set(CPACK_DEBIAN_GAME_PACKAGE_RECOMMENDS "fluid-soundfont-gm")
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
