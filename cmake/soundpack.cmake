# The sound pack tool: builds, lists and unpacks sound packs with the
# engine's own WAV reader and pack layout. The tests run it.
add_executable(soundpack ${CMAKE_SOURCE_DIR}/tools/soundpack.cpp)
target_compile_options(soundpack PRIVATE ${KR_CXX_FLAGS})
target_link_libraries(soundpack PRIVATE kr_engine)
list(APPEND KR_TEST_DEPS soundpack)
