#!/usr/bin/env bash
# Native build under AddressSanitizer and UndefinedBehaviorSanitizer, and its tests.
set -euo pipefail
B="$ROOT/build/native-asan"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Debug -DMIXORAMA_SANITIZE=address,undefined >/dev/null
cmake --build "$B" -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$B" --output-on-failure -j"$(nproc)"
