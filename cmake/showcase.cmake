# The showcase: krshowcase (a window) and krshowcase-headless (virtual time,
# scripted keys, screenshots and a recording of the sound), with the
# generators of its pictures and sounds writing into the run folder.
file(GLOB SHOWCASE_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/showcase/*.cpp)
list(FILTER SHOWCASE_SRC EXCLUDE REGEX ".*/showcase/(main|headless_main)\\.cpp$")
add_library(kr_showcase STATIC ${SHOWCASE_SRC})
target_compile_options(kr_showcase PRIVATE ${KR_CXX_FLAGS})
target_link_libraries(kr_showcase PUBLIC kr_engine)

if(TARGET kr_platform_sdl)
  add_executable(krshowcase showcase/main.cpp)
  target_compile_options(krshowcase PRIVATE ${KR_CXX_FLAGS})
  target_link_libraries(krshowcase PRIVATE kr_showcase kr_platform_sdl)
  set_target_properties(krshowcase PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KR_RUN_DIR})
endif()

add_executable(krshowcase-headless showcase/headless_main.cpp)
target_compile_options(krshowcase-headless PRIVATE ${KR_CXX_FLAGS})
target_link_libraries(krshowcase-headless PRIVATE kr_showcase kr_driver)
set_target_properties(krshowcase-headless PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KR_RUN_DIR})

add_executable(showcase_art tools/gen/showcase_art.cpp)
target_compile_options(showcase_art PRIVATE -Wall -Wextra)
target_link_libraries(showcase_art PRIVATE kr_platform)
add_executable(showcase_sound tools/gen/showcase_sound.cpp)
target_compile_options(showcase_sound PRIVATE -Wall -Wextra)
target_link_libraries(showcase_sound PRIVATE kr_platform)

set(SHOWCASE_STAMP ${KR_RUN_DIR}/showcase/assets.stamp)
add_custom_command(
  OUTPUT ${SHOWCASE_STAMP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KR_RUN_DIR}/showcase/sound
  COMMAND showcase_art ${KR_RUN_DIR}
  COMMAND showcase_sound ${KR_RUN_DIR}
  COMMAND soundpack build ${KR_RUN_DIR}/showcase/sounds.pak ${KR_RUN_DIR}/showcase/sound
  COMMAND ${CMAKE_COMMAND} -E touch ${SHOWCASE_STAMP}
  DEPENDS showcase_art showcase_sound soundpack
  COMMENT "Drawing the showcase's pictures and sounds")
add_custom_target(showcase_assets ALL DEPENDS ${SHOWCASE_STAMP})

list(APPEND KR_TEST_DEPS krshowcase krshowcase-headless showcase_assets game_music)
