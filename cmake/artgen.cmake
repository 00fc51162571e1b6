# The asset generators in tools/gen/: kr_gen holds their shared helpers
# (images, the BMP and file writers, colour ramps, shapes, layers and the
# tilted view, pieces shared by figures); artgen draws the game's pictures
# and map with one module per kind of asset. Another generator adds its own
# program here or in a piece of its own and links kr_gen.
set(KR_GEN_DIR ${CMAKE_SOURCE_DIR}/tools/gen)
add_library(kr_gen STATIC
  ${KR_GEN_DIR}/image.cpp ${KR_GEN_DIR}/bmp_out.cpp ${KR_GEN_DIR}/colour.cpp
  ${KR_GEN_DIR}/shapes.cpp ${KR_GEN_DIR}/draw.cpp ${KR_GEN_DIR}/figures.cpp)
target_compile_options(kr_gen PRIVATE -Wall -Wextra)
target_link_libraries(kr_gen PUBLIC kr_platform)

add_executable(artgen
  ${KR_GEN_DIR}/artgen.cpp ${KR_GEN_DIR}/player.cpp ${KR_GEN_DIR}/followers.cpp
  ${KR_GEN_DIR}/scenery.cpp ${KR_GEN_DIR}/tiles.cpp ${KR_GEN_DIR}/field.cpp ${KR_GEN_DIR}/overlay.cpp)
target_compile_options(artgen PRIVATE -Wall -Wextra)
target_link_libraries(artgen PRIVATE kr_gen)

add_custom_command(
  OUTPUT ${KR_RUN_DIR}/map.txt
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KR_RUN_DIR}
  COMMAND artgen ${KR_RUN_DIR}
  DEPENDS artgen
  COMMENT "Drawing the game's pictures and map")
add_custom_target(game_assets ALL DEPENDS ${KR_RUN_DIR}/map.txt)
