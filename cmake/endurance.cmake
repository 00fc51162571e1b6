# kr_endurance: the game and the showcase played for an hour of virtual time
# each, in process on the headless edge. It lives in the run folder beside
# the programs, so the engine finds the same pictures, sounds and music they
# do. Labelled "endurance": the release stage leaves it to the sanitizer
# stage, which runs it with every access and leak checked.
if(WIN32)
  return()  # an hour-long run is the sanitizer stage's, on Linux
endif()
find_package(GTest QUIET)
# kr_showcase and the asset targets come from pieces read after this one.
if(GTest_FOUND AND TARGET kr_game)
  include(GoogleTest)
  add_executable(kr_endurance ${CMAKE_SOURCE_DIR}/tests/endurance/endurance_test.cpp)
  target_compile_options(kr_endurance PRIVATE ${KR_CXX_FLAGS})
  target_link_libraries(kr_endurance PRIVATE kr_game kr_showcase GTest::gtest GTest::gtest_main)
  set_target_properties(kr_endurance PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KR_RUN_DIR})
  add_dependencies(kr_endurance game_assets showcase_assets game_music)
  # In the sanitizer build the showcase's hour takes about four minutes of one
  # core, the game's about one and a quarter.
  gtest_discover_tests(kr_endurance DISCOVERY_TIMEOUT 60 PROPERTIES LABELS endurance TIMEOUT 1500)
endif()
