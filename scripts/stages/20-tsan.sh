#!/usr/bin/env bash
# The thread stress test (the tick against the GUI thread's loads, unloads, syncs, moves,
# stops, starts and rate changes) built under ThreadSanitizer. Any report fails the stage.
set -euo pipefail
B="$ROOT/build/native-tsan"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Debug -DMIXORAMA_SANITIZE=thread >/dev/null
cmake --build "$B" --target mixorama_stress -j"$(nproc)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$B/tests/mixorama_stress" --gtest_brief=1
