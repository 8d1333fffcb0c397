#!/usr/bin/env bash
# Sourced by the Wine tests: a Wine prefix made once per user and kept (a cold prefix costs about
# 25 s), an X server (Xvfb) when there is no DISPLAY, and a PulseAudio server with a null sink
# so that waveOut really plays. Sets WINE_ENV_READY=1 when everything is up.
#
#   GLIMMER_WINE_PREFIX  prefix folder (default: $TMPDIR/glimmer-wine-$UID)
# shellcheck disable=SC2034  # the WINE_ENV_* variables are read by the script that sources this
set -u
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${GLIMMER_WINE_PREFIX:-${TMPDIR:-/tmp}/glimmer-wine-$(id -u)}"
export LIBGL_ALWAYS_SOFTWARE=1
WINE_ENV_READY=0

wine_env_fail() { echo "wine_env: $*" >&2; }

if ! command -v wine >/dev/null; then
  wine_env_fail "wine is not installed (bash tools/deps.sh wine)"
  return 0 2>/dev/null || exit 0
fi

# X server: a private Xvfb unless the caller gave a display.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_ENV_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi

# Sound: a PulseAudio server of our own with a null sink (no sound card needed).
if [ -z "${GLIMMER_WINE_NO_SOUND:-}" ] && command -v pulseaudio >/dev/null; then
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
  export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
  if ! pactl info >/dev/null 2>&1; then
    WINE_ENV_PULSE=1
    pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
      --load="module-null-sink sink_name=glimmer_null" \
      --load="module-native-protocol-unix" >/dev/null 2>&1 || true
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  fi
fi

# The prefix: made once, with window closes that do not stall (unmanaged windows) and the
# show's Windows fonts mapped to the installed metric-compatible ones.
if [ ! -f "$WINEPREFIX/.glimmer-ready" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
  reg_add() { wine reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
  reg_add 'HKCU\Software\Wine\X11 Driver' Managed N
  reg_add 'HKCU\Software\Wine\Fonts\Replacements' 'Times New Roman' 'Liberation Serif'
  reg_add 'HKCU\Software\Wine\Fonts\Replacements' 'Arial' 'Liberation Sans'
  reg_add 'HKCU\Software\Wine\Fonts\Replacements' 'Arial Black' 'Liberation Sans'
  reg_add 'HKCU\Software\Wine\Fonts\Replacements' 'Impact' 'DejaVu Sans Condensed'
  wineserver -w
  touch "$WINEPREFIX/.glimmer-ready"
fi
WINE_ENV_READY=1
