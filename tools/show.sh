#!/usr/bin/env bash
# Installs what is missing, builds the show and runs it: in a window where there is a display,
# otherwise it renders the whole show with its music to show.mp4.
set -euo pipefail
cd "$(dirname "$0")/.."
headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then headless=1; fi
if [ $headless -eq 1 ]; then bash tools/deps.sh ffmpeg; else bash tools/deps.sh; fi
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMMER_BENCH=OFF >/dev/null
cmake --build build/release --target glimmer
if [ $headless -eq 0 ]; then
  exec ./build/release/app/glimmer "$@"
fi
echo "No display: rendering the show to show.mp4 (this takes a while on a software renderer)."
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 \
  ./build/release/app/glimmer --capture show.mp4 --resolution 640x480 "$@"
echo "Done: $(pwd)/show.mp4"
