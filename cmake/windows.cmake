# The Windows build (a mingw-w64 cross build, scripts/windows.sh): what the
# unit-test program leaves out there, and the DLLs beside the programs.
if(NOT WIN32)
  return()
endif()

# Test files that drive other programs through a POSIX shell (cd, VAR=value,
# redirections, exit statuses from wait), or talk to an X display or to a
# unix socket, cannot run inside a Windows program. What they check on
# Linux is checked for the Windows programs by scripts/windows_test.sh:
# the golden frames of the game and the showcase, run under Wine by the
# Linux harness, the game in a real window, and the unpacked zip.
set(KR_WINDOWS_SKIPPED_TESTS
  "golden_test: runs the replay programs through the POSIX shell (checked by scripts/windows_test.sh)"
  "game_replay_test: runs pokotanba-replay through the POSIX shell"
  "script_driver_test: runs the headless programs through the POSIX shell"
  "showcase_test: runs krshowcase-headless through the POSIX shell"
  "showcase_audio_test: runs krshowcase-headless through the POSIX shell"
  "program_usage_test: runs the programs through the POSIX shell"
  "imagepack_tool_test: runs imagepack through the POSIX shell"
  "soundpack_tool_test: runs soundpack through the POSIX shell"
  "icon_test: the icon belongs to the Debian package"
  "artgen_test: runs artgen through the POSIX shell (its pictures are the golden frames' own)"
  "user_folder_test: the XDG data folder and programs run through the POSIX shell"
  "xvfb_smoke_test: needs an X display and a POSIX shell (the window is checked by scripts/windows_test.sh)"
  "sdl_backend_test: the single-instance guard's unix socket and the X display"
  "font_test: asks fontconfig what is installed"
  "atomic_targets_test: symbolic links, device nodes, unnamed files and a forked writer of POSIX systems"
  "output_failures_test: a full tmpfs mounted for the test, and symbolic links"
  "sound_dump_failures_test: a full tmpfs mounted for the test")
set(KR_TESTS_NOT_HERE)
set(KR_WINDOWS_SKIP_LIST "")
foreach(entry ${KR_WINDOWS_SKIPPED_TESTS})
  string(REGEX REPLACE ":.*$" "" name "${entry}")
  list(APPEND KR_TESTS_NOT_HERE ${CMAKE_SOURCE_DIR}/tests/${name}.cpp)
  string(APPEND KR_WINDOWS_SKIP_LIST "${entry}\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/skipped_tests.txt "${KR_WINDOWS_SKIP_LIST}")

# The tests' POSIX calls in Windows form, and M_PI from <cmath>.
set(KR_WINDOWS_TEST_OPTIONS -include ${CMAKE_SOURCE_DIR}/tests/windows_compat.h)
set(KR_WINDOWS_TEST_DEFINITIONS _USE_MATH_DEFINES)

# SDL2.dll beside the programs (the run folder) and the test program.
find_file(KR_SDL2_DLL SDL2.dll PATHS ${KR_WINDOWS_PREFIX}/bin NO_DEFAULT_PATH REQUIRED)
file(COPY ${KR_SDL2_DLL} DESTINATION ${KR_RUN_DIR})
file(COPY ${KR_SDL2_DLL} DESTINATION ${CMAKE_BINARY_DIR})

# Fonts carried beside the programs: the IPA faces the Linux build draws
# with (through fontconfig), so text looks the same where Windows has no
# Japanese fonts of its own.
foreach(face ipag ipam)
  find_file(KR_FONT_${face} ${face}.ttf PATHS /usr/share/fonts/opentype/ipafont-gothic
            /usr/share/fonts/opentype/ipafont-mincho NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(COPY ${KR_FONT_${face}} DESTINATION ${KR_RUN_DIR}/fonts)
  file(COPY ${KR_FONT_${face}} DESTINATION ${CMAKE_BINARY_DIR}/fonts)
endforeach()

# Every program carries the manifest (UTF-8 as the narrow code page); the
# windowed ones run in the window subsystem, without a console of their own.
enable_language(RC)
function(kr_windows_programs)
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/packaging/windows/program.rc)
    endif()
  endforeach()
  foreach(windowed pokotanba krshowcase)
    if(TARGET ${windowed})
      set_target_properties(${windowed} PROPERTIES WIN32_EXECUTABLE ON)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kr_windows_programs)
