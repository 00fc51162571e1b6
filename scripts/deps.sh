#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libfreetype-dev libfontconfig-dev
  fonts-ipafont-mincho fonts-ipafont-gothic
  libfluidsynth-dev fluid-soundfont-gm zlib1g-dev
)
# Making the Debian packages (scripts/package.sh) needs dpkg-shlibdeps.
if [ "${1:-}" = "--package" ] || [ "${1:-}" = "--test" ]; then
  packages+=(dpkg-dev)
fi
# The test suite also needs the test frameworks and a virtual X display.
if [ "${1:-}" = "--test" ]; then
  packages+=(libgtest-dev libbenchmark-dev xvfb xdotool imagemagick clang libclang-rt-14-dev doxygen)
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

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
