#!/bin/sh
# Runs the crash journey (random edits, a kill, --recover against a model)
# for seeds 1..N under Xvfb: scripts/crash_journeys.sh [N] [BUILD_DIR]
set -e
n="${1:-100}"
build="${2:-build}"
cd "$(dirname "$0")/.."
root="$(pwd)"
seeds="$(seq -s ' ' 1 "$n")"
cd "$build/run"
VELDKIT_CRASH_SEEDS="$seeds" VELDKIT_RUN_DIR="$(pwd)" VELDKIT_SOURCE_DIR="$root" VELDKIT_BIN="$(pwd)/veldkit" \
  VELDKIT_SEND_CLOSE="$root/$build/tests/send_close" VELDKIT_GRAB_SCREEN="$root/$build/tests/grab_screen" \
  xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" python3 "$root/tests/e2e/test_journey_crash_recovery.py"
