#!/usr/bin/env bash
# Builds the Windows executables: installs what is missing, builds glimmerc for this machine
# (build/host, which the content compiler needs to run here), cross-compiles the show with
# mingw-w64 for 32-bit x86 and x64 (build/win-x86, build/win-x64: -O2, only the show) and writes
# dist/glimmer-x86.exe and dist/glimmer-x64.exe, each statically linked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
jobs=$(nproc)
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMMER_WERROR=ON \
  -DGLIMMER_BENCH=OFF -DGLIMMER_TEST_DIRS=wine -DGLIMMER_WINE_TESTS=ON >/dev/null
# The Linux show and frame_diff are what the Wine checks compare against.
cmake --build build/host -j "$jobs" --target glimmerc glimmer frame_diff win32_logic_tests
mkdir -p dist
for arch in x86 x64; do
  cmake -S . -B build/win-$arch -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DGLIMMER_WERROR=ON \
    -DGLIMMERC="$PWD/build/host/tools/glimmerc" >/dev/null
  cmake --build build/win-$arch -j "$jobs" --target glimmer
  cp build/win-$arch/app/glimmer.exe dist/glimmer-$arch.exe
done
ls -l dist/glimmer-x86.exe dist/glimmer-x64.exe
