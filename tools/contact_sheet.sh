#!/usr/bin/env bash
# Renders the show's contact sheet: one frame every 5 seconds (0 s, 5 s, ... 175 s) at 320 x 240,
# six to a row.
#
#   bash tools/contact_sheet.sh [OUT.png]      (default content/contact-sheet.png)
#
# GLIMMER names the executable (default build/release/app/glimmer). Each frame is a one-frame
# capture (--capture DIR --from T --to T): the show steps to T at 60 frames a second without
# drawing, as a real run would, and draws the frame at T. Needs ffmpeg for the grid, which it
# stores with a 256-colour palette to keep the file under a megabyte.
set -euo pipefail
cd "$(dirname "$0")/.."
glimmer=${GLIMMER:-build/release/app/glimmer}
out=${1:-content/contact-sheet.png}
fps=60
step=5
columns=6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/picked"
n=0
for ((t = 0; t <= 175; t += step)); do
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 DISPLAY='' \
    "$glimmer" --capture "$work/t$t" --fps "$fps" --resolution 320x240 --from "$t" --to "$t" >/dev/null 2>&1
  cp "$work/t$t/$(printf 'frame-%06d.png' $((t * fps)))" "$work/picked/$(printf '%03d.png' "$n")"
  n=$((n + 1))
done
rows=$(((n + columns - 1) / columns))
ffmpeg -loglevel error -y -framerate 1 -i "$work/picked/%03d.png" \
  -vf "tile=${columns}x${rows}:padding=2:color=black,split[a][b];[a]palettegen=max_colors=256[p];[b][p]paletteuse=dither=bayer:bayer_scale=3" \
  -frames:v 1 "$out"
echo "contact sheet: $n frames, ${columns} x ${rows}, written to $out"
