#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libfreetype-dev libfontconfig-dev
  fonts-ipafont-mincho fonts-ipafont-gothic
  libfluidsynth-dev fluid-soundfont-gm zlib1g-dev
)
# Making the Debian packages (scripts/package.sh) needs dpkg-shlibdeps and
# doxygen (the kit holds the HTML reference); checking them, lintian.
if [ "${1:-}" = "--package" ] || [ "${1:-}" = "--test" ]; then
  packages+=(dpkg-dev doxygen lintian)
fi
# The test suite also needs the test frameworks and a virtual X display.
if [ "${1:-}" = "--test" ]; then
  packages+=(libgtest-dev libbenchmark-dev xvfb xdotool imagemagick clang libclang-rt-14-dev doxygen)
fi

# The web build (scripts/web.sh): Debian's emscripten, the sources of the
# libraries it builds for the web (apt-get source needs deb-src lines and
# dpkg-dev), and GoogleTest's sources for the unit tests under Node.js.
# --web-test adds the browser and its driver's runtime for the page tests.
if [ "${1:-}" = "--web" ] || [ "${1:-}" = "--web-test" ]; then
  packages+=(emscripten nodejs dpkg-dev googletest libsdl2-dev libfreetype-dev fonts-ipafont-gothic fonts-ipafont-mincho)
fi
if [ "${1:-}" = "--web-test" ]; then
  packages+=(chromium unzip)
fi
# The Windows build (scripts/windows.sh): the mingw-w64 cross compiler with
# POSIX threads (std::thread), Wine to run what it builds, dpkg-dev for
# `apt-get source`, and googletest's sources to build the test framework.
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
             wine64 wine dpkg-dev googletest xvfb xdotool imagemagick zip unzip
             fonts-ipafont-mincho fonts-ipafont-gothic)
fi

# Drawing the README's frame budget chart (scripts/frame_budget.py).
if [ "${1:-}" = "--docs" ]; then
  packages+=(python3-matplotlib)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# apt-get source reads deb-src lines: the same mirrors as the deb lines.
if [ "${1:-}" = "--web" ] || [ "${1:-}" = "--web-test" ]; then
  if ! grep -rqs "^Types:.*deb-src\|^deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee /etc/apt/sources.list.d/kr-deb-src.sources >/dev/null
    $SUDO apt-get update -qq
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
