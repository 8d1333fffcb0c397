#!/bin/sh
# CPU time (user + sys) of `glimmerc song render` against `xmp -i linear -o OUT.wav` on the same
# modules, pair by pair in one run: every reference module (tests/data/fetch-modules.sh) and a
# dense 32-channel module built here. Also the peak memory of the render. Writes the table to
# stdout and, with --readme, into bench/README.md between its music-vs-xmp markers.
#
# Usage: bench/music_vs_xmp.sh BUILD_DIR [--readme]
# Needs: xmp (installed here when missing), GNU time (/usr/bin/time).
set -eu

build="${1:?usage: bench/music_vs_xmp.sh BUILD_DIR [--readme]}"
readme="${2:-}"
root="$(cd "$(dirname "$0")/.." && pwd)"
glimmerc="$build/tools/glimmerc"
cache="${GLIMMER_MODULE_CACHE:-$HOME/.cache/glimmer-modules}"
repeats="${REPEATS:-3}"

command -v xmp >/dev/null 2>&1 || apt-get install -y xmp >/dev/null
[ -x /usr/bin/time ] || apt-get install -y time >/dev/null
[ -n "$(ls "$cache"/*.xm 2>/dev/null)" ] || sh "$root/tests/data/fetch-modules.sh" "$cache" >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM

# The dense module: 32 channels, speed 2 at 150 BPM, a note on every channel on every row
# (each retrigger ramps the old note out and the new one in), three looping kinds of sample,
# envelopes, slides, portamento and vibrato; 128 orders, about 4.5 minutes.
awk 'BEGIN {
  print "title \"dense 32\"\nchannels 32\nspeed 2\ntempo 150";
  printf "order"; for (i = 0; i < 128; i++) printf " %d", i % 2; print "";
  print "instrument 1 \"pingpong\"\n  wave saw 0.5\n  wave sine 0.3 harmonic 3\n  period 64";
  print "  length 3000\n  loop pingpong 500 3000\n  envelope volume 0:64 8:40 30:30 sustain 2";
  print "  fadeout 400\nend";
  print "instrument 2 \"forward\"\n  wave square 0.4\n  period 50\n  length 1500";
  print "  loop forward 100 1500\n  envelope panning 0:0 20:64 40:0 loop 0 2\nend";
  print "instrument 3 \"oneshot\"\n  wave noise 0.5\n  pitch fixed\n  length 20000\nend";
  split("C-3 E-3 G-3 C-4 E-4 G-4 A#4 D-5", notes, " ");
  for (p = 0; p < 2; p++) {
    print "pattern " p " 64";
    for (r = 0; r < 64; r++) {
      line = "  " r;
      for (c = 0; c < 32; c++) {
        ins = 1 + (c + r + p) % 3;
        effect = (r % 4 == 2) ? "A02" : (c % 5 == 0 ? "104" : (c % 7 == 0 ? "444" : "..."));
        line = line sprintf(" %s%s 0%d 30 %s", c ? "| " : "", notes[1 + (c + r) % 8], ins, effect);
      }
      print line;
    }
    print "end";
  }
}' > "$work/dense.txt"
"$glimmerc" song build "$work/dense.txt" -o "$work/dense-32ch.xm"

# CPU seconds (user + sys) per run and peak resident kilobytes of a command: $loops runs back to
# back under one timer (the timer counts in hundredths of a second), best of $repeats timings.
loops="${LOOPS:-5}"
measure() {
  best=""
  bestmem=""
  i=0
  while [ "$i" -lt "$repeats" ]; do
    /usr/bin/time -f "%U %S %M" -o "$work/time" \
      sh -c 'n=$1; shift; while [ "$n" -gt 0 ]; do "$@" >/dev/null 2>&1; n=$((n - 1)); done' \
      sh "$loops" "$@"
    read -r u s m < "$work/time"
    t=$(echo "$u $s $loops" | awk '{printf "%.3f", ($1 + $2) / $3}')
    if [ -z "$best" ] || awk "BEGIN {exit !($t < $best)}"; then best=$t; fi
    if [ -z "$bestmem" ] || [ "$m" -gt "$bestmem" ]; then bestmem=$m; fi
    i=$((i + 1))
  done
  echo "$best $bestmem"
}

table="$work/table.md"
{
  echo "| Module | Channels | Song length | glimmerc CPU | xmp CPU | xmp / glimmerc | glimmerc peak RSS |"
  echo "|---|---|---|---|---|---|---|"
} > "$table"
for module in "$cache"/*.xm "$work/dense-32ch.xm"; do
  name="$(basename "$module")"
  channels="$("$glimmerc" song info "$module" 2>/dev/null | awk '/^channels:/ {print $2}')"
  length="$("$glimmerc" song info "$module" 2>/dev/null | awk '/^length:/ {print $2}')"
  # Pair by pair: glimmerc, then xmp, on the same module, before the next module.
  set -- $(measure "$glimmerc" song render "$module" -o "$work/glimmer.wav")
  ours=$1
  rss=$2
  set -- $(measure xmp -q -i linear -o "$work/xmp.wav" "$module")
  theirs=$1
  ratio=$(awk "BEGIN {printf \"%.2f\", $theirs / ($ours > 0 ? $ours : 0.0005)}")
  echo "| $name | $channels | ${length} s | ${ours} s | ${theirs} s | ${ratio}x | $((rss / 1024)) MB |" >> "$table"
done
cat "$table"

if [ "$readme" = "--readme" ]; then
  file="$root/bench/README.md"
  awk -v table="$table" '
    /<!-- music-vs-xmp start -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
    /<!-- music-vs-xmp end -->/ { skip = 0 }
    !skip { print }
  ' "$file" > "$work/readme" && cp "$work/readme" "$file"
fi
