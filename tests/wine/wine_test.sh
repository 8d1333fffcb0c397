#!/usr/bin/env bash
# One check of a Windows build of the show under Wine (label wine):
#
#   wine_test.sh CHECK EXE LINUX_GLIMMER FRAME_DIFF
#
#   dialog-run    the settings dialog appears; a real mouse click (xdotool) on Run starts the
#                 show, which draws frames and exits 0 after --until 4, with waveOut playing
#                 into the PulseAudio null sink
#   dialog-800    clicks on "800 x 600" and Run: the show window is 800 x 600 at (0, 0)
#   dialog-exit   a click on Exit ends with 0 and no show frames
#   dialog-escape Escape in the dialog does nothing: a click on Run afterwards still starts
#                 the show
#   until         --until 3 --no-dialog exits 0
#   escape        a real Escape key press (xdotool) ends a show started without --until: exit 0
#   silent        no sound server (waveOutOpen fails): the show runs its 3 seconds silently on
#                 the clock and exits 0
#   extension     a required extension hidden: exit 1 and the line naming it
#   review        review mode reads commands from a pipe: seek, a shot to PNG, quit: exit 0
#   frames        --frame T through WGL against the Linux build's frame at T: strict limits
#                 (mean <= 2 levels, <= 1 % of pixels off by more than 16) where no text is on
#                 screen, loose ones (8 levels, 5 %) where text is, since the fonts differ (the
#                 credits' large overlay lines alone come to about 6 levels under Wine)
# Exits 77 (skipped) when the executable or Wine is missing.
set -u
check=$1 exe=$2 linux=$3 frame_diff=$4
[ -f "$exe" ] || { echo "skipped: $exe not built (bash tools/windows.sh)"; exit 77; }
command -v wine >/dev/null || { echo "skipped: wine is not installed"; exit 77; }
here=$(dirname "$0")
unset DISPLAY WAYLAND_DISPLAY
# shellcheck source=tests/wine/wine_env.sh
source "$here/wine_env.sh"
[ "$WINE_ENV_READY" = 1 ] || exit 77
work=$(mktemp -d)
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${WINE_ENV_XVFB:-}" ] && kill "$WINE_ENV_XVFB" 2>/dev/null
  [ -n "${WINE_ENV_PULSE:-}" ] && pulseaudio --kill 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

# Starts the show with the dialog and, once the dialog reports where its controls are, clicks
# the controls listed in $1 in order; with $2 = escape, presses Escape in the dialog first.
# After a click on Run, records the sound server's streams, one second from the null sink's
# monitor and the X window tree.
click_dialog() {
  GLIMMER_TEST_DIALOG_REPORT=1 GLIMMER_REPORT_FRAMES=1 wine "$exe" --until 4 2>"$work/err" &
  local pid=$! id xy
  for _ in $(seq 300); do
    grep -q 'dialog control 1005 at' "$work/err" && break
    sleep 0.1
  done
  if ! grep -q 'dialog control 1005 at' "$work/err"; then
    fail "the dialog did not appear"
    kill "$pid" 2>/dev/null
    return 1
  fi
  if [ "${2:-}" = escape ]; then
    xdotool key Escape
    sleep 0.5
  fi
  for id in $1; do
    xy=$(sed -n "s/.*dialog control $id at \([0-9-]*\) \([0-9-]*\).*/\1 \2/p" "$work/err")
    # shellcheck disable=SC2086
    xdotool mousemove $xy click 1
    sleep 0.3
  done
  if [ "$id" = 1001 ]; then
    sleep 1.5
    xwininfo -root -tree >"$work/windows" 2>/dev/null
    pactl list sink-inputs short >"$work/sinks" 2>/dev/null
    timeout 1 parec --device=glimmer_null.monitor --format=s16le --rate=44100 --channels=2 \
      --raw >"$work/sound.raw" 2>/dev/null
  fi
  wait "$pid"
  code=$?
  cat "$work/err"
}

case $check in
  dialog-run)
    click_dialog 1001 || exit 1
    [ "$code" = 0 ] || fail "exit code $code after Run"
    frames=$(sed -n 's/.*loading-bar frames, \([0-9]*\) show frames.*/\1/p' "$work/err")
    [ "${frames:-0}" -gt 0 ] || fail "the show drew no frames after Run"
    echo "show frames after Run: ${frames:-0}"
    if grep -q 's16le 2ch 44100Hz' "$work/sinks"; then
      echo "waveOut played into the null sink: $(cat "$work/sinks")"
    else
      fail "no waveOut stream reached the sound server"
    fi
    # The sink's monitor hears the music: some byte of one second of it is not zero.
    heard=$(tr -d '\0' <"$work/sound.raw" | head -c 1 | wc -c)
    echo "recorded $(wc -c <"$work/sound.raw") bytes from the null sink's monitor"
    [ "$heard" = 1 ] || fail "the null sink's monitor recorded only silence"
    ;;
  dialog-escape)
    click_dialog 1001 escape || exit 1
    [ "$code" = 0 ] || fail "exit code $code after Escape and Run"
    grep -q 'show frames' "$work/err" || fail "Escape ended the dialog"
    ;;
  dialog-800)
    click_dialog "1004 1001" || exit 1
    [ "$code" = 0 ] || fail "exit code $code after 800 x 600 and Run"
    grep -q ' 800x600+0+0 ' "$work/windows" || fail "no 800 x 600 show window at (0, 0)"
    grep ' 800x600+0+0 ' "$work/windows" | head -1
    ;;
  dialog-exit)
    click_dialog 1003 || exit 1
    [ "$code" = 0 ] || fail "exit code $code after Exit"
    grep -q 'show frames' "$work/err" && fail "the show ran after Exit"
    ;;
  until)
    wine "$exe" --until 3 --no-dialog
    code=$?
    [ "$code" = 0 ] || fail "exit code $code"
    ;;
  escape)
    GLIMMER_REPORT_FRAMES=1 wine "$exe" --no-dialog 2>"$work/err" &
    pid=$!
    sleep 8  # Wine start-up, loading and a few seconds of the show
    xdotool key Escape
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      fail "Escape did not end the show"
      kill "$pid"
    fi
    wait "$pid"
    code=$?
    cat "$work/err"
    [ "$code" = 0 ] || fail "exit code $code after Escape"
    ;;
  silent)
    start=$(date +%s%N)
    PULSE_SERVER=unix:/nonexistent GLIMMER_REPORT_FRAMES=1 wine "$exe" --until 3 --no-dialog \
      2>&1 | grep '^glimmer'
    code=${PIPESTATUS[0]}
    ms=$((($(date +%s%N) - start) / 1000000))
    echo "silent run took $ms ms"
    [ "$code" = 0 ] || fail "exit code $code without a sound server"
    [ "$ms" -ge 3000 ] || fail "the silent show did not keep real time"
    ;;
  extension)
    GLIMMER_HIDE_EXTENSIONS=GL_ARB_vertex_buffer_object wine "$exe" --until 3 --no-dialog \
      2>"$work/err"
    code=$?
    cat "$work/err"
    [ "$code" = 1 ] || fail "exit code $code, expected 1"
    grep -q 'lacks the required extension GL_ARB_vertex_buffer_object' "$work/err" ||
      fail "no line naming the missing extension"
    ;;
  review)
    printf 'seek 5\nshot %s\nquit\n' "$work/shot.png" | wine "$exe" --review >"$work/out" 2>&1
    code=$?
    cat "$work/out"
    [ "$code" = 0 ] || fail "exit code $code"
    [ -s "$work/shot.png" ] || fail "no shot written"
    grep -q 'review: shot .* at 5.000 s' "$work/out" || fail "no shot line at 5 s"
    ;;
  frames)
    # T and whether text is on screen then: the Foundry and the Lattice without text; the
    # opening's title and subtitle, and the credits' screen lines and outline text.
    for row in "50 strict" "110 strict" "12 text" "165 text"; do
      set -- $row
      SDL_VIDEODRIVER=offscreen "$linux" --frame "$1" --out "$work/linux-$1.png" >/dev/null ||
        fail "Linux frame $1"
      wine "$exe" --frame "$1" --out "$work/windows-$1.png" >/dev/null 2>&1 ||
        fail "Windows frame $1"
      if [ "$2" = strict ]; then limits=(2 1 16); else limits=(8 5 16); fi
      result=$("$frame_diff" "$work/linux-$1.png" "$work/windows-$1.png" "${limits[@]}")
      rc=$?
      echo "frame $1 ($2): $result"
      [ $rc = 0 ] || fail "frame $1 differs beyond the limits"
    done
    ;;
  *)
    echo "unknown check $check"
    exit 2
    ;;
esac
exit $status
