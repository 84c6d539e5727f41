#!/usr/bin/env bash
# Builds Veldkit and runs every test under a virtual X display.
#   scripts/test.sh              the normal build (build/)
#   scripts/test.sh --sanitize   the same with AddressSanitizer and UBSan (build-sanitize/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir=build
cmake_args=()
for arg in "$@"; do
  case "$arg" in
    --sanitize) build_dir=build-sanitize; cmake_args+=(-DVELDKIT_SANITIZE=ON) ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
"$root/scripts/setup.sh" "$build_dir" "${cmake_args[@]}"
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$root/$build_dir"
xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" ctest --output-on-failure -j"$(nproc)"
