# The kit: `cmake --install <build> --prefix <P>` (component `kit`) lays out
# what a game outside this tree builds against:
#   include/kr/      the services' public headers, the script driver's, and
#                    every platform header they reach, under the names the
#                    engine's own programs use
#   lib/             the static libraries of the engine, the platform with its
#                    headless edge, the SDL edge and the script driver
#   lib/cmake/kr/    the CMake package: kr::engine (SDL edge), kr::headless
#                    (headless edge with the script driver)
#   lib/pkgconfig/   kr.pc (SDL edge) and kr-headless.pc (with the driver)
#   bin/             the imagepack and soundpack tools
#   share/doc/kr/html/  the HTML reference, once written (kit_reference)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KR_KIT_VERSION 1.0.0)
set(KR_KIT_COMPONENT kit)
set(KR_KIT_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/kr)
set(KR_KIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kr)

# The headers a game reaches: the services' chief headers, the two edges'
# headers (a game's main picks its edge), the script driver's (a headless
# main is the driver around the game's steps), the compile-time text
# conversion (u8"..."_cp932) and the run-time one (plat::Utf8ToCp932), and
# whatever they include in turn.
function(kr_public_headers out)
  file(GLOB roots RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/system/kr*.h ${CMAKE_SOURCE_DIR}/input/kr*.h
       ${CMAKE_SOURCE_DIR}/draw/kr*.h ${CMAKE_SOURCE_DIR}/sound/kr*.h
       ${CMAKE_SOURCE_DIR}/platform/sdl/sdl_backend.h ${CMAKE_SOURCE_DIR}/platform/headless/*.h
       ${CMAKE_SOURCE_DIR}/driver/script_driver.h ${CMAKE_SOURCE_DIR}/platform/text/cp932_literal.h
       ${CMAKE_SOURCE_DIR}/platform/text/cp932.h)
  set(pending ${roots})
  set(found)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    list(APPEND found ${header})
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${header})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    get_filename_component(folder ${header} DIRECTORY)
    foreach(line ${lines})
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" name "${line}")
      if(EXISTS ${CMAKE_SOURCE_DIR}/${name})
        list(APPEND pending ${name})
      elseif(EXISTS ${CMAKE_SOURCE_DIR}/${folder}/${name})
        list(APPEND pending ${folder}/${name})
      endif()
    endforeach()
  endwhile()
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

kr_public_headers(KR_KIT_HEADERS)

# The HTML reference (doxygen, warnings are errors), installed with the kit
# as share/doc/kr/html when it has been written: `kit_reference` writes it,
# the packages build it, and scripts/kit_test.sh writes it first.
find_program(KR_DOXYGEN doxygen)
if(KR_DOXYGEN)
  list(TRANSFORM KR_KIT_HEADERS PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE KR_KIT_HEADER_PATHS)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/docs/html/index.html
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/docs
    COMMAND ${CMAKE_COMMAND} -E env KR_DOCS_OUT=${CMAKE_BINARY_DIR}/docs ${KR_DOXYGEN} docs/Doxyfile
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/Doxyfile ${CMAKE_SOURCE_DIR}/docs/mainpage.md ${KR_KIT_HEADER_PATHS}
    COMMENT "Writing the HTML reference")
  add_custom_target(kit_reference DEPENDS ${CMAKE_BINARY_DIR}/docs/html/index.html)
endif()
install(DIRECTORY ${CMAKE_BINARY_DIR}/docs/html/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kr/html
        COMPONENT ${KR_KIT_COMPONENT} OPTIONAL)
foreach(header ${KR_KIT_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${CMAKE_SOURCE_DIR}/${header} DESTINATION ${KR_KIT_INCLUDE_DIR}/${folder}
          COMPONENT ${KR_KIT_COMPONENT})
endforeach()

# Inside the tree the headers are found at the source root; installed, at
# include/kr, so that "system/krSystem.h" means the same file in both.
set_property(TARGET kr_platform PROPERTY INTERFACE_INCLUDE_DIRECTORIES
             $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}> $<INSTALL_INTERFACE:${KR_KIT_INCLUDE_DIR}>)

# Engine strings are code page 932. The package's krConfig.cmake gives a
# game's compiler -fexec-charset=CP932 when the compiler takes it, and warns
# when it does not (clang); u8"..."_cp932 serves every compiler.

# The targets are taken at the end of the top folder, once every piece (the
# tools' among them, and any later library) has defined its own.
function(kr_install_kit)
  # The two faces of the kit. The headless edge (and every source added beside
  # it in platform/headless/) is part of the platform library by its glob; a
  # separate headless library, when the build has one, joins kr::headless,
  # and so does the script driver, which turns a game's two steps into a
  # headless program with --frames, --input, --screenshot and --audio.
  add_library(kr_kit_engine INTERFACE)
  target_link_libraries(kr_kit_engine INTERFACE kr_engine kr_platform_sdl)
  add_library(kr_kit_headless INTERFACE)
  target_link_libraries(kr_kit_headless INTERFACE kr_driver kr_engine)
  set(KR_KIT_TARGETS kr_kit_engine kr_kit_headless kr_driver kr_engine kr_platform kr_platform_sdl)
  set(KR_KIT_HEADLESS_LIBS "-lkr_driver -lkr_engine -lkr_platform")
  if(TARGET kr_headless)
    target_link_libraries(kr_kit_headless INTERFACE kr_headless)
    list(APPEND KR_KIT_TARGETS kr_headless)
    set(KR_KIT_HEADLESS_LIBS "-lkr_driver -lkr_headless -lkr_engine -lkr_platform")
  endif()
  set_target_properties(kr_kit_engine PROPERTIES EXPORT_NAME engine)
  set_target_properties(kr_kit_headless PROPERTIES EXPORT_NAME headless)
  set_target_properties(kr_driver PROPERTIES EXPORT_NAME driver)
  set_target_properties(kr_engine PROPERTIES EXPORT_NAME services)
  set_target_properties(kr_platform PROPERTIES EXPORT_NAME platform)
  set_target_properties(kr_platform_sdl PROPERTIES EXPORT_NAME sdl)

  install(TARGETS ${KR_KIT_TARGETS} EXPORT krTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${KR_KIT_COMPONENT})
  install(EXPORT krTargets NAMESPACE kr:: DESTINATION ${KR_KIT_CMAKE_DIR} COMPONENT ${KR_KIT_COMPONENT})

  configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/krConfig.cmake.in ${CMAKE_BINARY_DIR}/kit/krConfig.cmake
                                INSTALL_DESTINATION ${KR_KIT_CMAKE_DIR})
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/kit/krConfigVersion.cmake VERSION ${KR_KIT_VERSION}
                                   COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/kit/krConfig.cmake ${CMAKE_BINARY_DIR}/kit/krConfigVersion.cmake
          DESTINATION ${KR_KIT_CMAKE_DIR} COMPONENT ${KR_KIT_COMPONENT})

  # pkg-config: the libraries are static, so their own dependencies are
  # public requirements, not private ones. The prefix is found from the .pc
  # file's own place, so a kit unpacked elsewhere still works.
  file(RELATIVE_PATH KR_KIT_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" KR_KIT_PC_TO_PREFIX "${KR_KIT_PC_TO_PREFIX}")
  foreach(face engine headless)
    if(face STREQUAL "engine")
      set(KR_PC_NAME kr)
      set(KR_PC_DESCRIPTION "the kr 2D game engine on the SDL2 edge (a real window)")
      set(KR_PC_REQUIRES "sdl2 freetype2 fontconfig fluidsynth")
      set(KR_PC_LIBS "-lkr_engine -lkr_platform_sdl -lkr_platform")
    else()
      set(KR_PC_NAME kr-headless)
      set(KR_PC_DESCRIPTION "the kr 2D game engine on the headless edge with the script driver (virtual time, scripted input)")
      set(KR_PC_REQUIRES "freetype2 fontconfig fluidsynth")
      set(KR_PC_LIBS "${KR_KIT_HEADLESS_LIBS}")
    endif()
    configure_file(${CMAKE_SOURCE_DIR}/kr.pc.in ${CMAKE_BINARY_DIR}/kit/${KR_PC_NAME}.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/kit/${KR_PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
            COMPONENT ${KR_KIT_COMPONENT})
  endforeach()

  install(TARGETS imagepack soundpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${KR_KIT_COMPONENT})
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kr_install_kit)
