#!/usr/bin/env bash
# Checks that the native and the Windows builds convert waves byte for byte alike:
#   tests/convert_identical.sh NATIVE_TOOL WINDOWS_TOOL
# Both are mixorama-render programs; the Windows one runs through wine. Inputs are ramps and
# noise in every format (8/16 bit, mono/stereo, common and odd rates, odd lengths), each
# converted at 11025, 22050 and 44100 by both tools and compared with cmp; a few malformed
# files must give the same exit code and the same message on stderr.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 NATIVE_TOOL WINDOWS_TOOL" >&2
  exit 2
fi
native="$1"
windows="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export WINEDEBUG="${WINEDEBUG:--all}"

python3 - "$work/in" <<'PY'
import os, random, struct, sys
out = sys.argv[1]
os.makedirs(out)
def chunk(cid, body, size=None):
    b = cid + struct.pack('<I', len(body) if size is None else size) + body
    return b + (b'\0' if len(body) % 2 else b'')
def fmt(tag, ch, rate, bits, n=16):
    align = ch * ((bits + 7) // 8)
    return struct.pack('<HHIIHH', tag, ch, rate, rate * align, align, bits)[:n].ljust(n, b'\0')
def wave(ch, bits, rate, data, fmtbytes=16):
    body = b'WAVE' + chunk(b'fmt ', fmt(1, ch, rate, bits, fmtbytes)) + chunk(b'data', data)
    return b'RIFF' + struct.pack('<I', len(body)) + body
def write(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)
rnd = random.Random(2024)
for bits in (8, 16):
    for ch in (1, 2):
        for rate in (8000, 11025, 22050, 44100, 48000, 7350, 96000):
            frames = rnd.choice((997, 1501, 2203)) + (rate % 7)
            width = ch * bits // 8
            n = frames * width + (1 if rate % 2 else 3)   # odd length, partial last frame
            ramp = bytes((i * 3 + (i >> 8)) & 0xFF for i in range(n))
            noise = bytes(rnd.randrange(256) for _ in range(n))
            write('ramp_%d_%d_%d.wav' % (bits, ch, rate), wave(ch, bits, rate, ramp))
            write('noise_%d_%d_%d.wav' % (bits, ch, rate), wave(ch, bits, rate, noise))
write('ok_fmt14.wav', wave(2, 16, 22050, bytes(range(200)), 14))
# Malformed: the tools must refuse them alike.
write('bad_text.wav', b'this is not a wave file\n')
write('bad_empty.wav', b'')
write('bad_notpcm.wav', b'RIFF' + struct.pack('<I', 4 + 24 + 12) + b'WAVE' +
      chunk(b'fmt ', fmt(3, 2, 44100, 32)) + chunk(b'data', bytes(4)))
write('bad_truncated.wav', wave(2, 16, 44100, bytes(400))[:-10])
write('bad_nodata.wav', b'RIFF' + struct.pack('<I', 28) + b'WAVE' + chunk(b'fmt ', fmt(1, 2, 44100, 16)))
write('bad_emptydata.wav', wave(2, 16, 44100, b''))
write('bad_rate0.wav', wave(2, 16, 0, bytes(400)))
write('bad_tooshort.wav', wave(2, 16, 96000, bytes(4)))
write('bad_huge.wav', wave(1, 8, 1, bytes(600000)))
PY

failures=0
count=0
mkdir -p "$work/n" "$work/w"
for f in "$work"/in/*.wav; do
  name="$(basename "$f" .wav)"
  for rate in 11025 22050 44100; do
    count=$((count + 1))
    set +e
    "$native" convert --rate "$rate" "$f" "$work/n/$name.$rate.wav" 2>"$work/n/err" >/dev/null
    nrc=$?
    wine "$windows" convert --rate "$rate" "$f" "$work/w/$name.$rate.wav" 2>"$work/w/err" >/dev/null
    wrc=$?
    set -e
    tr -d '\r' <"$work/w/err" >"$work/w/err.lf"
    if [ "$nrc" -ne "$wrc" ] || ! cmp -s "$work/n/err" "$work/w/err.lf"; then
      echo "DIFF $name at $rate: exit $nrc vs $wrc, stderr '$(cat "$work/n/err")' vs '$(cat "$work/w/err.lf")'"
      failures=$((failures + 1))
    elif [ "$nrc" -eq 0 ] && ! cmp "$work/n/$name.$rate.wav" "$work/w/$name.$rate.wav"; then
      echo "DIFF $name at $rate: outputs differ"
      failures=$((failures + 1))
    elif [[ "$name" == bad_* ]] && [ "$nrc" -ne 1 ]; then
      echo "BAD $name at $rate: exit $nrc, expected 1"
      failures=$((failures + 1))
    elif [[ "$name" != bad_* ]] && [ "$nrc" -ne 0 ]; then
      echo "BAD $name at $rate: exit $nrc, expected 0"
      failures=$((failures + 1))
    fi
  done
done
echo "convert_identical: $count conversions, $failures differences"
[ "$failures" -eq 0 ]
