#!/usr/bin/env bash
# A fuzzing smoke run of about 20 seconds; the long campaign is scripts/fuzz.sh.
set -euo pipefail
bash "$ROOT/scripts/fuzz.sh" --smoke
