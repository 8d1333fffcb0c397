#!/usr/bin/env bash
# Runs one fuzz target for longer: tools/fuzz.sh TARGET SECONDS.
# Builds the clang fuzz configuration in build/fuzz; the corpus grows in
# build/fuzz/tests/fuzz/corpus-TARGET from one run to the next.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: tools/fuzz.sh TARGET SECONDS}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGLIMMER_FUZZ=ON -DGLIMMER_BENCH=OFF -DGLIMMER_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build/fuzz --target glimmer_content "$target"
ctest --test-dir build/fuzz -R "^$target\$" --output-on-failure -V --timeout $((seconds + 600))
