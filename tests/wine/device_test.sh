#!/usr/bin/env bash
# Runs the WINMM device test program under Wine and checks what reached the sound sink.
#   device_test.sh <mixorama_device_test.exe> <output dir>
# Inside the environment of scripts/wine-env.sh (brought up here when not already up):
#  0. device_test_analyse_check.py: the recording checks catch faults in made-up recordings;
#  1. the device and timer cases, without recording; then the engine init with the sound
#     server out of reach (no card at all);
#  2. for each output rate, the tone case while the sink's monitor is recorded, then
#     device_test_analyse.py on the recording (pitch, level, continuity, silence after stop).
# Recordings and logs stay in the output dir.
set -euo pipefail
exe="$1"
out="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
mkdir -p "$out"
export PYTHONDONTWRITEBYTECODE=1  # no bytecode in the source tree

own_env=0
if [ "${MIXORAMA_WINE_ENV:-}" != 1 ]; then
  # shellcheck source=SCRIPTDIR/../../scripts/wine-env.sh
  source "$root/scripts/wine-env.sh"
  wine_env_up
  own_env=1
fi
sink="${MIXORAMA_SINK:?no sink}"
rates="${MIXORAMA_DEVICE_TEST_RATES:-44100 22050 11025}"
play_ms=2000

recorder=""
stop_recorder() {
  if [ -n "$recorder" ]; then
    kill -INT "$recorder" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$recorder" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$recorder" 2>/dev/null || true
    wait "$recorder" 2>/dev/null || true
    recorder=""
  fi
}
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  stop_recorder
  if [ "$own_env" = 1 ]; then wine_env_down; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The recording checks must be able to fail: try them on recordings with known faults first.
if ! python3 "$here/device_test_analyse_check.py" >"$out/analyse_check.log" 2>&1; then
  cat "$out/analyse_check.log"
  echo "the recording checks do not catch the faults they are for"
  exit 1
fi

echo "== device and timer cases"
set +e
timeout 120 wine "$exe" --gtest_filter='-Playback.ToneReachesTheSinkUntilStopped:NoSoundServer.*' \
  --gtest_brief=1 >"$out/cases.log" 2>&1
run=$?
set -e
cat "$out/cases.log"
if [ "$run" -ne 0 ]; then
  echo "device and timer cases failed (exit $run)"
  exit 1
fi

echo "== no sound server"
set +e
PULSE_SERVER=unix:/nonexistent MIXORAMA_EXPECT_NO_SOUND=1 timeout 120 wine "$exe" \
  --gtest_filter='NoSoundServer.*' --gtest_brief=1 >"$out/no_sound.log" 2>"$out/no_sound.err"
run=$?
set -e
cat "$out/no_sound.log"
if [ "$run" -ne 0 ] || ! grep -qF '[  PASSED  ] 1 test.' "$out/no_sound.log"; then
  echo "no-sound-server case failed (exit $run)"
  exit 1
fi

status=0
for rate in $rates; do
  echo "== tone at $rate Hz"
  rec="$out/tone-$rate.wav"
  log="$out/tone-$rate.log"
  rm -f "$rec"
  parecord --device="$sink.monitor" --file-format=wav --format=s16le --rate=44100 \
    --channels=2 --latency-msec=20 "$rec" &
  recorder=$!
  rec_start_ns=$(date +%s%N)
  # The recording must be running before the program plays: wait for its stream.
  for _ in $(seq 50); do
    if pactl list short source-outputs 2>/dev/null | grep -q .; then break; fi
    sleep 0.1
  done
  sleep 0.3
  set +e
  timeout 120 wine "$exe" --gtest_filter='Playback.ToneReachesTheSinkUntilStopped' \
    --gtest_brief=1 --rate="$rate" --play-ms="$play_ms" >"$log" 2>&1
  run=$?
  set -e
  # The null sink renders in large blocks while nothing else plays into it, so recorded data
  # may arrive well after the sound; a stop now would lose the end. Wait until the file holds
  # about as much audio as time has passed (at most 6 s), then stop.
  wanted=$(((($(date +%s%N) - rec_start_ns) / 1000000 - 500) * 176400 / 1000))
  for _ in $(seq 60); do
    [ "$(stat -c %s "$rec" 2>/dev/null || echo 0)" -ge "$wanted" ] && break
    sleep 0.1
  done
  stop_recorder
  cat "$log"
  if [ "$run" -ne 0 ]; then
    echo "tone case failed at $rate Hz (exit $run)"
    status=1
    continue
  fi
  timeline="$(sed -n 's/^TIMELINE //p' "$log" | tr -d '\r')"
  if ! python3 "$here/device_test_analyse.py" "$rec" "$timeline"; then
    status=1
  fi
done
exit "$status"
