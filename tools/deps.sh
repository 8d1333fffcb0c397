#!/usr/bin/env bash
# Installs the Debian packages that glimmer needs to build, test and run. Extra package names
# given as arguments are installed too. Runs apt-get through sudo when not root.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  build-essential cmake ninja-build pkg-config ccache
  libsdl2-dev libimgui-dev libgl-dev libegl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
  libstb-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth openmpt123 libopenmpt-dev
  # Windows build (tools/windows.sh) and its checks under Wine (label wine); wine32 is i386.
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32 xdotool x11-utils
  pulseaudio pulseaudio-utils zip
  libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 libpulse0:i386 libfreetype6:i386
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # wine32 comes from the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then $SUDO dpkg --add-architecture i386; fi
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
