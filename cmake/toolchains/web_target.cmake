# The web target (configured with emcmake; included by CMakeLists.txt when
# EMSCRIPTEN is set). Libraries come from KR_WEB_PREFIX, the prefix that
# scripts/web_libs.sh fills with SDL2 and FreeType built from Debian's
# sources. Programs run under Node.js (the emulator emcmake sets) see the
# real file system, so the asset generators and the unit tests work as on
# Linux; the pages (cmake/web_pages.cmake) get a virtual one instead.
execute_process(COMMAND emcc -dumpversion OUTPUT_VARIABLE KR_EMCC_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE)
if(DEFINED ENV{KR_CACHE})
  set(kr_web_cache $ENV{KR_CACHE})
else()
  set(kr_web_cache $ENV{HOME}/.cache/kr)
endif()
set(KR_WEB_PREFIX ${kr_web_cache}/web-${KR_EMCC_VERSION}/prefix CACHE PATH "SDL2 and FreeType built for the web")
if(NOT EXISTS ${KR_WEB_PREFIX}/lib/pkgconfig/sdl2.pc)
  message(FATAL_ERROR "No web libraries in ${KR_WEB_PREFIX}: run scripts/web_libs.sh (scripts/web.sh does)")
endif()
set(ENV{PKG_CONFIG_LIBDIR} ${KR_WEB_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
list(APPEND CMAKE_FIND_ROOT_PATH ${KR_WEB_PREFIX})
# Node.js runs the programs; the thread switch emcmake adds is gone from
# Node 20, which then refuses to start.
list(FILTER CMAKE_CROSSCOMPILING_EMULATOR EXCLUDE REGEX "^--experimental-wasm")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CROSSCOMPILING_EMULATOR}" CACHE FILEPATH "" FORCE)
set(KR_BENCH OFF CACHE BOOL "" FORCE)

# WebAssembly's 128-bit vectors serve the compiler's generic vector types.
add_compile_options(-msimd128)
# Synchronous start-up: the asynchronous one would fetch() the .wasm, which
# Node.js cannot do from a file path.
set(KR_WEB_NODE_LINK_OPTIONS -sNODERAWFS=1 -sEXIT_RUNTIME=1 -sWASM_ASYNC_COMPILATION=0 -sALLOW_MEMORY_GROWTH=1 -sTOTAL_STACK=8MB)
add_link_options(${KR_WEB_NODE_LINK_OPTIONS})

# GoogleTest from Debian's sources (package googletest), built with emcc.
macro(kr_web_gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
  endif()
  set(GTest_FOUND TRUE)
endmacro()

# Test files whose cases start other programs (no processes under Node.js),
# need a real window, or fontconfig's families; the browser tests cover the
# programs on the page.
set(KR_WEB_EXCLUDED_TESTS
    ".*/tests/(artgen|font|game_replay|golden|icon|imagepack_tool|program_usage|script_driver|sdl_backend|showcase_audio|showcase|soundpack_tool|user_folder|xvfb_smoke|audio_threads|sdl_audio)_test\\.cpp$")
