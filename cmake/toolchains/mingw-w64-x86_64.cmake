# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads
# variant, whose libstdc++ has std::thread and std::mutex).
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# KR_WINDOWS_PREFIX (or the environment's KR_WINDOWS_PREFIX) names the folder
# where scripts/windows.sh installed the cross-built SDL2 and FreeType; it is
# searched for packages, libraries and headers before the compiler's own root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KR_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KR_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KR_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KR_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT KR_WINDOWS_PREFIX AND DEFINED ENV{KR_WINDOWS_PREFIX})
  set(KR_WINDOWS_PREFIX $ENV{KR_WINDOWS_PREFIX})
endif()
set(KR_WINDOWS_PREFIX "${KR_WINDOWS_PREFIX}" CACHE PATH "Cross-built libraries for Windows")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KR_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${KR_MINGW_TRIPLE} ${KR_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the cross-built libraries, never the host's.
if(KR_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${KR_WINDOWS_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
  set(ENV{PKG_CONFIG_PATH} "")
endif()

# The C and C++ runtimes and winpthread are linked in, so a program needs
# no DLL but the libraries it names (SDL2.dll).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and programs the build runs itself (the asset generators) go through
# Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
