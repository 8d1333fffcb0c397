#!/usr/bin/env bash
# Renders the show's contact sheet: one frame every 5 seconds (0 s, 5 s, ... 175 s) at 320 x 240,
# six to a row, from one headless capture of the whole show.
#
#   bash tools/contact_sheet.sh [OUT.png]      (default content/contact-sheet.png)
#
# GLIMMER names the executable (default build/release/app/glimmer). The capture runs at 20 frames
# a second so that particles and echoes are simulated with a step close to a real run's; every
# hundredth frame is kept. Needs ffmpeg for the grid.
set -euo pipefail
cd "$(dirname "$0")/.."
glimmer=${GLIMMER:-build/release/app/glimmer}
out=${1:-content/contact-sheet.png}
fps=20
step=5
columns=6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 DISPLAY='' \
  "$glimmer" --capture "$work/frames" --fps "$fps" --resolution 320x240 --to 175 >/dev/null

mkdir "$work/picked"
n=0
for ((t = 0; t <= 175; t += step)); do
  frame=$(printf 'frame-%06d.png' $((t * fps)))
  cp "$work/frames/$frame" "$work/picked/$(printf '%03d.png' "$n")"
  n=$((n + 1))
done
rows=$(((n + columns - 1) / columns))
ffmpeg -loglevel error -y -framerate 1 -i "$work/picked/%03d.png" \
  -vf "tile=${columns}x${rows}:padding=2:color=black" -frames:v 1 "$out"
echo "contact sheet: $n frames, ${columns} x ${rows}, written to $out"
