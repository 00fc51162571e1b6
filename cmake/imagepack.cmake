# The command-line image pack tool: builds, lists and unpacks pack files.
add_executable(imagepack ${CMAKE_SOURCE_DIR}/tools/imagepack.cpp)
target_compile_options(imagepack PRIVATE ${KR_CXX_FLAGS})
target_link_libraries(imagepack PRIVATE kr_engine)
list(APPEND KR_TEST_DEPS imagepack)
