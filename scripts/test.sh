#!/usr/bin/env bash
# Runs every test of Mixorama: installs what is missing, builds natively (under sanitizers)
# and for 32-bit Windows, runs the unit tests in both builds, the fuzzer, the thread stress
# test, the end-to-end scenarios of the real program under Wine, then the browser edition in
# headless chromium.
# Each stage is a script in scripts/stages/, run in name order; any failure stops the run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ROOT
"$ROOT/scripts/deps.sh"

passed=0
failed=0
for stage in "$ROOT"/scripts/stages/*.sh; do
  name="$(basename "$stage" .sh)"
  echo "=== stage $name"
  start=$SECONDS
  if bash "$stage"; then
    passed=$((passed + 1))
    echo "=== stage $name passed ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    echo "=== stage $name FAILED ($((SECONDS - start)) s)"
    break
  fi
done
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
