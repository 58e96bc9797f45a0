#!/usr/bin/env bash
# Native build under ThreadSanitizer: the thread stress test (the tick against the GUI thread's
# loads, unloads, syncs, stops, starts and rate changes), then the rest of the unit suite.
# Any report fails the stage.
set -euo pipefail
B="$ROOT/build/native-tsan"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Debug -DMIXORAMA_SANITIZE=thread >/dev/null
cmake --build "$B" --target mixorama_tests -j"$(nproc)"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$B/tests/mixorama_tests" --gtest_brief=1 --gtest_filter='*StressTest*'
"$B/tests/mixorama_tests" --gtest_brief=1 --gtest_filter='-*StressTest*'
