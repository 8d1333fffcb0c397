#!/bin/sh
# Rewrites the golden frames of the renderer tests from the current renderer. Run it on purpose,
# after checking that a change of the pictures is intended, and review the new PNGs before
# committing them. Never run by CTest.
#
# usage: tests/golden/regenerate.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-"$root/build"}
cmake --build "$build" --target render_gl_tests
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 GLIMMER_UNATTENDED=1
unset DISPLAY
GLIMMER_GOLDEN_DIR="$root/tests/golden" GLIMMER_REGENERATE_GOLDEN=1 \
  "$build/tests/render/render_gl_tests" --gtest_filter='GoldenTest.*'
echo "golden images written to $root/tests/golden"
