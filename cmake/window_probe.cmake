# kr_window_probe: a kit game that asks for a window of its own size, run by
# the window tests under Xvfb (tests/programs/window_probe.cpp).
if(TARGET kr_platform_sdl)
  add_executable(kr_window_probe ${CMAKE_SOURCE_DIR}/tests/programs/window_probe.cpp)
  target_compile_options(kr_window_probe PRIVATE ${KR_CXX_FLAGS})
  target_link_libraries(kr_window_probe PRIVATE kr_engine kr_platform_sdl)
  list(APPEND KR_TEST_DEPS kr_window_probe)
endif()
