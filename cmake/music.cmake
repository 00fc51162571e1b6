# The engine's little piece of music, written by our own generator into the
# run folder.
add_executable(musicgen ${CMAKE_SOURCE_DIR}/tools/gen/music.cpp)
target_compile_options(musicgen PRIVATE -Wall -Wextra)
target_link_libraries(musicgen PRIVATE kr_platform)
add_custom_command(
  OUTPUT ${KR_RUN_DIR}/music.mid
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KR_RUN_DIR}
  COMMAND musicgen ${KR_RUN_DIR}/music.mid
  DEPENDS musicgen
  COMMENT "Writing the music")
add_custom_target(game_music ALL DEPENDS ${KR_RUN_DIR}/music.mid)
list(APPEND KR_TEST_DEPS musicgen game_music)
