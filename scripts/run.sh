#!/usr/bin/env bash
# Builds Veldkit and opens a terrain: the demo terrain unless a .TFD path is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" build
run_dir="$root/build/run"
if [ $# -ge 1 ]; then
  terrain="$(realpath "$1")"
else
  terrain="$run_dir/demo/Demo.TFD"
fi
cd "$run_dir"
exec ./veldkit "$terrain"
