#!/usr/bin/env bash
# Fuzzing under AddressSanitizer, UndefinedBehaviorSanitizer and leak detection (libFuzzer,
# clang): the wave loader from a small seed corpus of wave files, the setup-file parser, and the
# MIDI map parser with the controller input.
# Any crash, leak or sanitizer report fails the run.
#
#   bash scripts/fuzz.sh            the campaign: RUNS executions per target (default 10000000),
#                                   with the figures appended to docs/fuzzing.md
#   bash scripts/fuzz.sh --smoke    about 20 seconds in all (the test stage)
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
B="$ROOT/build/fuzz"
smoke=0
[ "${1:-}" = "--smoke" ] && smoke=1

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIXORAMA_FUZZ=ON -DMIXORAMA_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
cmake --build "$B" --target fuzz_wave_loader fuzz_setup_file fuzz_midi_map -j"$(nproc)" >/dev/null

# Seed corpus for the loader: one control byte (output rate, slot use), then a wave file.
seeds="$B/seeds/fuzz_wave_loader"
rm -rf "$seeds"
mkdir -p "$seeds"
python3 - "$seeds" <<'PY'
import struct, sys, os
out = sys.argv[1]
def chunk(cid, body, size=None):
    b = cid + struct.pack('<I', len(body) if size is None else size) + body
    return b + (b'\0' if len(body) % 2 else b'')
def fmt(tag, ch, rate, bits, n=16):
    align = ch * ((bits + 7) // 8)
    return struct.pack('<HHIIHH', tag, ch, rate, rate * align, align, bits)[:n].ljust(n, b'\0')
def riff(chunks, form=b'WAVE'):
    body = form + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body
seeds = []
ramp = bytes(i & 0xFF for i in range(301))
for ch in (1, 2):
    for bits in (8, 16):
        for rate, control in ((8000, 0x80), (11025, 0x01), (22050, 0x86), (44100, 0x02)):
            seeds.append((control, riff([chunk(b'fmt ', fmt(1, ch, rate, bits)), chunk(b'data', ramp)])))
seeds.append((0x80, riff([chunk(b'fmt ', fmt(1, 2, 11025, 16, 14)), chunk(b'LIST', b'INFOabc'), chunk(b'data', ramp)])))
seeds.append((0x00, chunk(b'JUNK', b'xyz') + riff([chunk(b'fmt ', fmt(1, 1, 22050, 8, 18)), chunk(b'data', ramp[:7])])))
seeds.append((0x81, riff([chunk(b'data', ramp), chunk(b'fmt ', fmt(1, 2, 11025, 16))])))
seeds.append((0x80, riff([chunk(b'fmt ', fmt(1, 2, 11025, 16)), chunk(b'data', b'', 0xFFFFFFFF)])))
for n, (control, data) in enumerate(seeds):
    with open(os.path.join(out, 'seed%02d' % n), 'wb') as f:
        f.write(bytes([control]) + data)
PY

# Seeds for the MIDI map: a map with every kind and action, and a stream of messages.
mapseeds="$B/seeds/fuzz_midi_map"
rm -rf "$mapseeds"
mkdir -p "$mapseeds"
printf '\000MIXORAMA-MIDI-MAP 1.0\nany cc 20 = level 1\n10 note 36 = mute 8\n16 bend = map x\n3 cc 7 = map y\nany note 1 = lock 2\n1 note 2 = play\n2 note 3 = sync\nend\n' >"$mapseeds/map"
printf '\006\003\260\024\100\003\220\054\177\002\300\005\003\340\000\100\001\370\003\261\034\177' >"$mapseeds/messages"

report="$B/report.txt"
: >"$report"
run() {  # target, smoke seconds, corpus dirs...
  local t="$1" secs="$2"
  shift 2
  local work="$B/corpus/$t" limit
  mkdir -p "$work"
  if [ "$smoke" = 1 ]; then limit=(-max_total_time="$secs"); else limit=(-runs="${RUNS:-10000000}"); fi
  echo "fuzzing $t (${limit[*]})"
  (cd "$B" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$B/tests/fuzz/$t" "${limit[@]}" -rss_limit_mb=2048 -print_final_stats=1 "$work" "$@") \
    2>&1 | tee "$B/$t.log" | grep -E "^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR)" || true
  grep -q "^stat::number_of_executed_units" "$B/$t.log" || { echo "$t failed" >&2; tail -40 "$B/$t.log" >&2; return 1; }
  echo "$t $(grep '^stat::number_of_executed_units' "$B/$t.log" | awk '{print $2}') $(grep '^stat::average_exec_per_sec' "$B/$t.log" | awk '{print $2}')" >>"$report"
}
run fuzz_wave_loader 10 "$seeds"
run fuzz_setup_file 5
run fuzz_midi_map 5 "$mapseeds"

if [ "$smoke" = 0 ]; then
  {
    echo
    echo "### $(date -u +%Y-%m-%d) on $(nproc) cores, commit $(git -C "$ROOT" rev-parse --short HEAD)"
    echo
    echo "| target | executions | per second | corpus files |"
    echo "|---|---|---|---|"
    while read -r t n rate; do
      echo "| $t | $n | $rate | $(find "$B/corpus/$t" -type f | wc -l) |"
    done <"$report"
  } >>"$ROOT/docs/fuzzing.md"
  echo "figures appended to docs/fuzzing.md"
fi
