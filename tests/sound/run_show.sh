#!/usr/bin/env bash
# Plays the show through a real sound server and checks what the server played.
#
#   run_show.sh MODE GLIMMER GLIMMERC MODULE SOUND_CHECK WORK
#
# Starts its own PulseAudio with a null sink at 44100 Hz (no sound card needed; a private runtime
# folder, so it meets no other server), records the sink's monitor with parec, runs the show
# headless through SDL's pulseaudio driver and compares the recording with `glimmerc song render`
# of MODULE (the module the show embeds). MODE:
#   idle  640x480 for 12 s
#   load  1024x768 for 12 s: llvmpipe keeps both cores busy
#   lost  the server is killed 4 s into the show; the show must run on with the clock to 8 s
#         and end with exit status 0, and what was played before the loss must be right
#   disk  no server: SDL's disk driver writes what it is given to a file, which must equal the
#         render from the song's first frame (nothing is heard, so no timing is checked)
# SOUND_SECONDS lengthens the idle and load runs (up to the show's 178 s).
# Exit status 0 pass, 1 fail, 77 skipped (no pulseaudio or parec).
set -u
mode=$1 glimmer=$2 glimmerc=$3 module=$4 check=$5 work=$6
rm -rf "$work"
mkdir -p "$work/runtime"
if [ "$mode" = disk ]; then
  "$glimmerc" song render "$module" -o "$work/reference.wav" --seconds 16 >/dev/null || exit 1
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/recording.raw" SDL_VIDEODRIVER=offscreen \
    LIBGL_ALWAYS_SOFTWARE=1 ASAN_OPTIONS=detect_leaks=0 "$glimmer" --no-dialog --until 12 \
    2>"$work/show.log"
  code=$?
  cat "$work/show.log"
  [ $code -eq 0 ] || { echo "FAIL: the show ended with exit status $code"; exit 1; }
  # The last buffers SDL has not yet written when the process ends are lost: ask for 11.5 s.
  exec "$check" compare "$work/recording.raw" "$work/reference.wav" --seconds 11.5
fi
for tool in pulseaudio parec pactl; do
  command -v $tool >/dev/null || { echo "$tool not installed: skipped"; exit 77; }
done

chmod 700 "$work/runtime"
# Clients never start a server of their own: this test's server is the only one they may meet.
echo "autospawn = no" >"$work/client.conf"
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work" PULSE_CLIENTCONFIG="$work/client.conf"
unset DISPLAY WAYLAND_DISPLAY PULSE_SERVER
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

# The server and the recorder run with real-time priority where the system grants it, as desktop
# sound servers do (through rtkit): the show under test keeps every core busy, and a starved
# recorder would lose frames the server did play.
rt=()
chrt -f 20 true 2>/dev/null && rt=(chrt -f 20)
# -n: no default configuration, only the two modules named. As root PulseAudio warns that it is
# meant for system mode and carries on.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
  --log-level="${GLIMMER_PULSE_LOG_LEVEL:-error}" \
  -L "module-null-sink sink_name=glimmer rate=44100 channels=2 format=s16le" \
  -L module-native-protocol-unix >"$work/pulseaudio.log" 2>&1 &
pulse=$!
pids+=($pulse)
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "FAIL: pulseaudio did not start"; cat "$work/pulseaudio.log"; exit 1; }
# PulseAudio sets its own main thread back to a nice level once started; raise all its threads.
[ ${#rt[@]} -gt 0 ] && chrt -f -a -p 20 $pulse >/dev/null

"$glimmerc" song render "$module" -o "$work/reference.wav" --seconds $((${SOUND_SECONDS:-12} + 4)) \
  >/dev/null || exit 1

mkfifo "$work/monitor"
"${rt[@]}" "$check" stamp "$work/recording.raw" <"$work/monitor" &
stamper=$!
"${rt[@]}" parec -d glimmer.monitor --rate=44100 --channels=2 --format=s16le --raw --latency-msec=20 \
  >"$work/monitor" &
pids+=($!)
sleep 0.5

until=${SOUND_SECONDS:-12} args=()
case $mode in
  idle) ;;
  load) args=(--resolution 1024x768) ;;
  lost) until=8 ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
export SDL_AUDIODRIVER=pulseaudio SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1
export GLIMMER_REPORT_START=1 ASAN_OPTIONS=detect_leaks=0
"$glimmer" --no-dialog --until $until "${args[@]}" 2>"$work/show.log" &
show=$!
pids+=($show)
status=0
if [ "$mode" = lost ]; then
  for _ in $(seq 1200); do
    grep -q "demo time 0 at" "$work/show.log" && break
    sleep 0.05
  done
  sleep 4
  kill -KILL "$pulse"
  echo "server killed 4 s into the show"
fi
wait $show
code=$?
ended=$("$check" now)
cat "$work/show.log"
if [ $code -ne 0 ]; then
  echo "FAIL: the show ended with exit status $code"
  status=1
fi
if [ "$mode" = lost ]; then
  # The show must neither stop nor freeze without its server: it ends when the clock reaches
  # --until, a little teardown later.
  started=$(sed -n 's/.*demo time 0 at \([0-9.]*\) s.*/\1/p' "$work/show.log")
  ran=$(awk "BEGIN { printf \"%.2f\", $ended - ${started:-0} }")
  echo "show ran $ran s after demo time 0 (until $until s)"
  if awk "BEGIN { exit !($ran < $until - 0.2 || $ran > $until + 5) }"; then
    echo "FAIL: the show did not run on with the clock"
    status=1
  fi
  seconds=3.5
else
  sleep 0.5
  kill "$pulse"
  seconds=$(awk "BEGIN { print $until - 0.1 }")
fi
wait $stamper
"$check" compare "$work/recording.raw" "$work/reference.wav" --show-log "$work/show.log" \
  --seconds "$seconds" --max-offset-ms 40 || status=1
exit $status
