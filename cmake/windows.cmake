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
  "user_folder_test: the XDG data folder and programs run through the POSIX shell"
  "xvfb_smoke_test: needs an X display and a POSIX shell (the window is checked by scripts/windows_test.sh)"
  "sdl_backend_test: the single-instance guard's unix socket and the X display"
  "font_test: asks fontconfig what is installed")
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
