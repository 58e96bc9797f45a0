#!/usr/bin/env bash
# Fuzzing under AddressSanitizer, UndefinedBehaviorSanitizer and leak detection: the wave
# loader for about a minute from a small seed corpus of wave files, every other fuzz target
# for about 20 seconds. Any crash, leak or sanitizer report fails the stage.
set -euo pipefail
B="$ROOT/build/fuzz"
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIXORAMA_FUZZ=ON -DMIXORAMA_SANITIZE=address,undefined,fuzzer-no-link >/dev/null

targets=()
for src in "$ROOT"/tests/fuzz/fuzz_*.cpp; do
  targets+=("$(basename "$src" .cpp)")
done
for t in "${targets[@]}"; do
  cmake --build "$B" --target "$t" -j2 >/dev/null
done

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
n = 0
def seed(control, data):
    global n
    with open(os.path.join(out, 'seed%02d' % n), 'wb') as f:
        f.write(bytes([control]) + data)
    n += 1
ramp = bytes(i & 0xFF for i in range(301))
for ch in (1, 2):
    for bits in (8, 16):
        for rate, control in ((8000, 0x80), (11025, 0x01), (22050, 0x86), (44100, 0x02), (48000, 0xC1)):
            seed(control, riff([chunk(b'fmt ', fmt(1, ch, rate, bits)), chunk(b'data', ramp)]))
seed(0x80, riff([chunk(b'fmt ', fmt(1, 2, 11025, 16, 14)), chunk(b'LIST', b'INFOabc'), chunk(b'data', ramp)]))
seed(0x00, chunk(b'JUNK', b'xyz') + riff([chunk(b'fmt ', fmt(1, 1, 22050, 8, 18)), chunk(b'data', ramp[:7])]))
seed(0x81, riff([chunk(b'data', ramp), chunk(b'fmt ', fmt(1, 2, 11025, 16))]))
seed(0x02, riff([chunk(b'fmt ', fmt(3, 2, 44100, 32)), chunk(b'data', ramp)]))
seed(0x80, riff([chunk(b'fmt ', fmt(1, 2, 0, 16)), chunk(b'data', ramp)]))
seed(0x80, riff([chunk(b'fmt ', fmt(1, 1, 1, 8)), chunk(b'data', ramp[:20])]))
seed(0x80, riff([chunk(b'fmt ', fmt(1, 2, 11025, 16)), chunk(b'data', b'', 0xFFFFFFFF)]))
PY

run() {  # target, seconds, corpus dirs...
  local t="$1" secs="$2"
  shift 2
  local work="$B/corpus/$t"
  mkdir -p "$work"
  echo "fuzzing $t for ${secs}s"
  (cd "$B" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$B/tests/fuzz/$t" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=1 \
    "$work" "$@")
}

for t in "${targets[@]}"; do
  if [ "$t" = fuzz_wave_loader ]; then
    run "$t" 60 "$seeds"
  else
    run "$t" 20
  fi
done
