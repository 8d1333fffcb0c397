#!/usr/bin/env bash
# Installs what is missing, builds the Release and the ASan+UBSan configurations and runs every
# test of both with CTest (the ASan one includes the whole show captured under the sanitizers,
# label sanitize). GL tests run headless through SDL's offscreen driver; the few tests of the
# real window start their own Xvfb through xvfb-run. A third, clang configuration builds only the
# fuzz targets and runs each for GLIMMER_FUZZ_SECONDS (60 unless set); any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
jobs=$(nproc)
unset DISPLAY WAYLAND_DISPLAY || true
export SDL_AUDIODRIVER=dummy
export GLIMMER_MODULE_CACHE="${GLIMMER_MODULE_CACHE:-$PWD/build/modules}"
if [ -x tests/data/fetch-modules.sh ] || [ -f tests/data/fetch-modules.sh ]; then
  bash tests/data/fetch-modules.sh "$GLIMMER_MODULE_CACHE" || echo "reference modules unavailable: their tests will skip"
fi
status=0
for config in release asan; do
  if [ $config = release ]; then
    flags=(-DCMAKE_BUILD_TYPE=Release)
  else
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMMER_SANITIZE=ON -DGLIMMER_BENCH=OFF)
  fi
  cmake -S . -B build/$config -G Ninja -DGLIMMER_WERROR=ON "${flags[@]}" >/dev/null
  cmake --build build/$config -j "$jobs"
  echo "== tests: $config"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/$config --output-on-failure -j "$jobs" --timeout 900 -LE sound || status=1
done
# Sound through a real server, on its own after the rest because it measures timing: each test
# starts its own PulseAudio with a null sink (no sound card needed) and records it with parec.
echo "== sound"
ctest --test-dir build/release --output-on-failure -L sound || status=1
# Fuzz targets: libFuzzer with ASan + UBSan, seeded from the content the build compiles.
fuzz_seconds=${GLIMMER_FUZZ_SECONDS:-60}
echo "== fuzz: ${fuzz_seconds} s per target"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGLIMMER_FUZZ=ON -DGLIMMER_BENCH=OFF -DGLIMMER_WERROR=ON -DGLIMMER_FUZZ_SECONDS="$fuzz_seconds" \
  -DGLIMMER_FUZZ_RUNS= >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_all glimmer_content
ctest --test-dir build/fuzz -L fuzz --output-on-failure -j "$jobs" || status=1
# Windows: both executables cross-built with mingw-w64 (tools/windows.sh) and run under Wine,
# Xvfb and a PulseAudio null sink (label wine). GLIMMER_SKIP_WINE=1 leaves this part out.
if [ -z "${GLIMMER_SKIP_WINE:-}" ]; then
  echo "== wine"
  bash tools/windows.sh
  # A prefix of this checkout's own, so no prefix left behind by another run is reused.
  GLIMMER_WINE_PREFIX="$PWD/build/wine-prefix" \
    ctest --test-dir build/host -L wine --output-on-failure --timeout 300 || status=1
fi
# Size of the tests against the code: non-blank lines of tests/ at most 35 % of the code's.
echo "== test ratio"
bash tools/test_ratio.sh || status=1
exit $status
