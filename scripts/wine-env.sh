#!/usr/bin/env bash
# The environment the Windows build runs in under Wine: an X display, a sound server with a
# null sink to play into (and record from), and a Wine prefix. One script sets it up and tears
# it down again, killing exactly what it started.
#
# Use it sourced (test stages):
#     source "$ROOT/scripts/wine-env.sh"
#     wine_env_up [options]        # exports the variables below; registers the cleanup trap
#     ... wine prog.exe, ctest, parecord --device="$MIXORAMA_SINK.monitor" ...
#     wine_env_down                # also runs on EXIT, INT and TERM of the sourcing shell
# or run a command inside it (the run command, one-off checks):
#     scripts/wine-env.sh [options] [--] command [args...]   # exits with the command's status
#
# Options:
#   --use-display   use $DISPLAY when it answers, instead of starting Xvfb (falls back to Xvfb)
#   --use-sound     use the sound server already reachable (pactl info), instead of starting a
#                   private PulseAudio with a null sink (falls back to the private one). The
#                   private sink is kept running by a silent stream, so that a recording of
#                   its monitor follows the clock.
#   --own-display, --own-sound   the defaults, stated explicitly
#   --prefix DIR    the Wine prefix (default: $MIXORAMA_WINEPREFIX, else $ROOT/build/wineprefix)
#
# Exported while up:
#   DISPLAY            the X display (Xvfb :N, 1024x768x24 unless MIXORAMA_SCREEN=WxHxD)
#   XDG_RUNTIME_DIR    a private 0700 directory (own sound server only)
#   PULSE_SERVER       unix:<socket> of the sound server in use (own sound server only)
#   MIXORAMA_SINK      the sink Wine plays into: "mixorama_out" (own server) or the existing
#                      server's default sink; record it from "$MIXORAMA_SINK.monitor"
#   WINEPREFIX         the prefix, made once with `wineboot -i` (32-bit), reused afterwards
#   WINEARCH=win32, WINEDEBUG=-all, WINEDLLOVERRIDES="mscoree,mshtml=" (no Mono/Gecko prompts)
#   MIXORAMA_WINE_ENV  1 while up (nested users can test it and skip their own set-up)
#
# A prefix is used by one session at a time: wine_env_up holds a lock on it (waiting at most
# MIXORAMA_PREFIX_WAIT seconds, default 600), because the cleanup ends every Wine process of
# the prefix with `wineserver -k`. Every wait is bounded; a watchdog ends the display and the
# sound server if the shell that started them dies without cleaning up.

WINE_ENV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WINE_ENV_SINK_NAME="mixorama_out"

_wine_env_log() { echo "wine-env: $*" >&2; }

# Waits at most $1 seconds (in 0.1 s steps) for the command in the remaining arguments to
# succeed. Returns its last status.
_wine_env_wait() {
  local limit=$(($1 * 10))
  shift
  local i
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  "$@" >/dev/null 2>&1
}

_wine_env_display_ok() { timeout 5 xdpyinfo -display "$1" >/dev/null 2>&1; }

_wine_env_start_xvfb() {
  local screen="${MIXORAMA_SCREEN:-1024x768x24}"
  local numfile="$WINE_ENV_STATE/display"
  : >"$numfile"
  # Xvfb picks a free display number itself and writes it once it accepts connections.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
    3>"$numfile" >"$WINE_ENV_STATE/xvfb.log" 2>&1 {WINE_ENV_LOCK_FD}>&- &
  WINE_ENV_XVFB_PID=$!
  if ! _wine_env_wait 20 grep -q '[0-9]' "$numfile"; then
    _wine_env_log "Xvfb did not start within 20 s:"
    cat "$WINE_ENV_STATE/xvfb.log" >&2
    return 1
  fi
  DISPLAY=":$(tr -dc 0-9 <"$numfile")"
  export DISPLAY
  if ! _wine_env_wait 10 _wine_env_display_ok "$DISPLAY"; then
    _wine_env_log "Xvfb on $DISPLAY does not answer"
    return 1
  fi
}

_wine_env_start_pulse() {
  export XDG_RUNTIME_DIR="$WINE_ENV_STATE/runtime"
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  # Runs in the foreground of a background job so its pid is ours to end. As root it warns
  # that it is not meant to run as root, and works; -n skips the system's default.pa.
  HOME="$WINE_ENV_STATE" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disallow-exit --log-target=stderr \
    --load="module-null-sink sink_name=$WINE_ENV_SINK_NAME rate=44100 channels=2" \
    --load="module-native-protocol-unix auth-anonymous=1" \
    >"$WINE_ENV_STATE/pulseaudio.log" 2>&1 {WINE_ENV_LOCK_FD}>&- &
  WINE_ENV_PULSE_PID=$!
  if ! _wine_env_wait 20 pactl info; then
    _wine_env_log "PulseAudio did not answer within 20 s:"
    cat "$WINE_ENV_STATE/pulseaudio.log" >&2
    return 1
  fi
  timeout 10 pactl set-default-sink "$WINE_ENV_SINK_NAME" || return 1
  export MIXORAMA_SINK="$WINE_ENV_SINK_NAME"
  # An idle null sink renders ahead in blocks of up to 2 s, and its monitor hands them out
  # late and out of step with the clock: a recording stopped then loses its start or end.
  # A silent low-latency stream keeps the sink running in small blocks.
  pacat --playback --device="$WINE_ENV_SINK_NAME" --format=s16le --rate=44100 --channels=2 \
    --latency-msec=20 --client-name=mixorama-keepalive /dev/zero \
    >"$WINE_ENV_STATE/keepalive.log" 2>&1 {WINE_ENV_LOCK_FD}>&- &
  WINE_ENV_KEEPALIVE_PID=$!
}

# Makes the prefix once; a prefix without the completion mark is half made and made again.
_wine_env_make_prefix() {
  local mark="$WINEPREFIX/.mixorama-prefix-complete"
  if [ -f "$mark" ]; then return 0; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  _wine_env_log "making the Wine prefix $WINEPREFIX (once)"
  local start=$SECONDS
  if ! timeout 300 wineboot -i >"$WINE_ENV_STATE/wineboot.log" 2>&1 ||
    ! timeout 120 wineserver -w; then
    _wine_env_log "wineboot -i failed or took over 5 minutes:"
    tail -n 20 "$WINE_ENV_STATE/wineboot.log" >&2
    return 1
  fi
  touch "$mark"
  _wine_env_log "prefix made in $((SECONDS - start)) s"
}

# Ends whatever is left of a session whose shell died: display, sound server, Wine.
_wine_env_watchdog() {
  local owner=$1
  while kill -0 "$owner" 2>/dev/null; do sleep 2; done
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_ENV_KEEPALIVE_PID:-}" ]; then kill "$WINE_ENV_KEEPALIVE_PID" 2>/dev/null || true; fi
  if [ -n "${WINE_ENV_PULSE_PID:-}" ]; then kill "$WINE_ENV_PULSE_PID" 2>/dev/null || true; fi
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WINE_ENV_STATE"
}

# Ends a background process we started: TERM, up to 5 s, then KILL.
_wine_env_end() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  local i
  for ((i = 0; i < 50; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  return 0
}

wine_env_down() {
  [ "${MIXORAMA_WINE_ENV:-}" = 1 ] || [ -n "${WINE_ENV_STATE:-}" ] || return 0
  _wine_env_end "${WINE_ENV_WATCHDOG_PID:-}"
  if [ -n "${WINE_ENV_WINESERVER_OURS:-}" ]; then
    timeout 20 wineserver -k >/dev/null 2>&1 || true
    timeout 20 wineserver -w >/dev/null 2>&1 || true
  fi
  _wine_env_end "${WINE_ENV_KEEPALIVE_PID:-}"
  _wine_env_end "${WINE_ENV_PULSE_PID:-}"
  _wine_env_end "${WINE_ENV_XVFB_PID:-}"
  if [ -n "${WINE_ENV_LOCK_FD:-}" ]; then
    exec {WINE_ENV_LOCK_FD}>&-
  fi
  if [ -n "${WINE_ENV_STATE:-}" ]; then rm -rf "$WINE_ENV_STATE"; fi
  # Give back what the caller had before wine_env_up.
  if [ -n "${WINE_ENV_SAVED_DISPLAY+x}" ]; then
    export DISPLAY="$WINE_ENV_SAVED_DISPLAY"
  else
    unset DISPLAY
  fi
  if [ -n "${WINE_ENV_SAVED_XDG+x}" ]; then
    export XDG_RUNTIME_DIR="$WINE_ENV_SAVED_XDG"
  else
    unset XDG_RUNTIME_DIR
  fi
  if [ -n "${WINE_ENV_SAVED_PULSE+x}" ]; then
    export PULSE_SERVER="$WINE_ENV_SAVED_PULSE"
  else
    unset PULSE_SERVER
  fi
  unset WINE_ENV_WATCHDOG_PID WINE_ENV_WINESERVER_OURS WINE_ENV_PULSE_PID WINE_ENV_XVFB_PID
  unset WINE_ENV_KEEPALIVE_PID
  unset WINE_ENV_LOCK_FD WINE_ENV_STATE WINE_ENV_SAVED_DISPLAY WINE_ENV_SAVED_XDG
  unset WINE_ENV_SAVED_PULSE
  unset MIXORAMA_WINE_ENV MIXORAMA_SINK
  trap - EXIT INT TERM
  return 0
}

wine_env_up() {
  local use_display=0 use_sound=0
  local prefix="${MIXORAMA_WINEPREFIX:-$WINE_ENV_ROOT/build/wineprefix}"
  while [ $# -gt 0 ]; do
    case "$1" in
      --use-display) use_display=1 ;;
      --use-sound) use_sound=1 ;;
      --own-display) use_display=0 ;;
      --own-sound) use_sound=0 ;;
      --prefix)
        prefix="$2"
        shift
        ;;
      *)
        _wine_env_log "unknown option: $1"
        return 2
        ;;
    esac
    shift
  done
  if [ "${MIXORAMA_WINE_ENV:-}" = 1 ]; then
    _wine_env_log "already up (DISPLAY=$DISPLAY, WINEPREFIX=$WINEPREFIX)"
    return 0
  fi
  case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac

  trap 'wine_env_down' EXIT
  trap 'wine_env_down; exit 130' INT
  trap 'wine_env_down; exit 143' TERM
  WINE_ENV_STATE="$(mktemp -d /tmp/mixorama-wine-env.XXXXXX)"
  chmod 700 "$WINE_ENV_STATE"
  if [ -n "${DISPLAY+x}" ]; then WINE_ENV_SAVED_DISPLAY="$DISPLAY"; fi
  if [ -n "${XDG_RUNTIME_DIR+x}" ]; then WINE_ENV_SAVED_XDG="$XDG_RUNTIME_DIR"; fi
  if [ -n "${PULSE_SERVER+x}" ]; then WINE_ENV_SAVED_PULSE="$PULSE_SERVER"; fi

  export WINEPREFIX="$prefix"
  export WINEARCH=win32
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec {WINE_ENV_LOCK_FD}>"$WINEPREFIX.lock"
  local wait_s="${MIXORAMA_PREFIX_WAIT:-600}"
  if ! flock -n "$WINE_ENV_LOCK_FD"; then
    _wine_env_log "prefix $WINEPREFIX is in use; waiting up to $wait_s s"
    if ! flock -w "$wait_s" "$WINE_ENV_LOCK_FD"; then
      _wine_env_log "prefix $WINEPREFIX still in use; giving up"
      wine_env_down
      return 1
    fi
  fi

  if [ "$use_display" = 1 ] && [ -n "${DISPLAY:-}" ] && _wine_env_display_ok "$DISPLAY"; then
    _wine_env_log "using the display $DISPLAY"
  elif ! _wine_env_start_xvfb; then
    wine_env_down
    return 1
  fi

  if [ "$use_sound" = 1 ] && timeout 5 pactl info >/dev/null 2>&1; then
    MIXORAMA_SINK="$(timeout 5 pactl get-default-sink)"
    export MIXORAMA_SINK
    _wine_env_log "using the sound server's default sink $MIXORAMA_SINK"
  elif ! _wine_env_start_pulse; then
    wine_env_down
    return 1
  fi

  WINE_ENV_WINESERVER_OURS=1
  _wine_env_watchdog "$$" {WINE_ENV_LOCK_FD}>&- >/dev/null 2>&1 &
  WINE_ENV_WATCHDOG_PID=$!

  if ! _wine_env_make_prefix; then
    wine_env_down
    return 1
  fi
  # One wineserver for the whole session. Left to itself it exits a few seconds after its last
  # client, and a wine started just then fails with "recvmsg: Connection reset by peer": many
  # short Windows programs in a row (ctest, the conversion check) hit that window.
  # (The prefix is ours alone, so any server still running is one on its way out.)
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  if ! timeout 20 wineserver -p {WINE_ENV_LOCK_FD}>&- >/dev/null 2>&1; then
    _wine_env_log "could not start a persistent wineserver; going on without it"
  fi
  # The first Wine program of a session starts Wine's background programs, which inherit its
  # output: a caller reading that output (ctest) would wait for them until its time-out. Start
  # them here, with no pipe to hold.
  timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 {WINE_ENV_LOCK_FD}>&- || true
  export MIXORAMA_WINE_ENV=1
  return 0
}

# Run as a command: bring the environment up, run the command in it, tear it down.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  opts=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --prefix)
        opts+=("$1" "${2:-}")
        shift 2
        ;;
      --*-display | --*-sound)
        opts+=("$1")
        shift
        ;;
      --)
        shift
        break
        ;;
      *) break ;;
    esac
  done
  if [ $# -eq 0 ]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
    exit 2
  fi
  wine_env_up "${opts[@]}" || exit 1
  "$@"
  status=$?
  wine_env_down
  exit "$status"
fi
