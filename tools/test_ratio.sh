#!/usr/bin/env bash
# Prints the size of the tests against the code they test: non-blank lines of .cpp/.h under
# tests/ against those under every other folder except bench/, content/, build*/ and .git.
# Exits 1 when the tests are above 35 % of the code.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true; }
tests=$(count tests)
mapfile -t dirs < <(find . -mindepth 1 -maxdepth 1 -type d ! -name tests ! -name bench ! -name content \
  ! -name 'build*' ! -name .git | sort)
code=$(count "${dirs[@]}")
# A file at the top level is code too.
top=$(find . -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true)
code=$((code + top))
pct=$((tests * 1000 / code))
printf 'tests %d / code %d non-blank lines = %d.%d %%\n' "$tests" "$code" $((pct / 10)) $((pct % 10))
[ "$pct" -le 350 ]
