#!/usr/bin/env bash
# Runs one fuzz target for longer: tools/fuzz.sh TARGET SECONDS [RUNS].
# Stops after SECONDS, or after RUNS inputs when that comes first. Builds the clang fuzz
# configuration in build/fuzz; the corpus grows in build/fuzz/tests/fuzz/corpus-TARGET from one
# run to the next, and a finding is written next to it (corpus-TARGET-crash-..., -timeout-...).
# Targets: ctest --test-dir build/fuzz -L fuzz -N
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: tools/fuzz.sh TARGET SECONDS [RUNS]}
runs=${3:-}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGLIMMER_FUZZ=ON -DGLIMMER_BENCH=OFF -DGLIMMER_FUZZ_SECONDS="$seconds" -DGLIMMER_FUZZ_RUNS="$runs" >/dev/null
cmake --build build/fuzz --target glimmer_content fuzz_all
ctest --test-dir build/fuzz -R "^$target\$" --output-on-failure -V --timeout $((seconds + 600))
