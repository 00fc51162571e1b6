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
