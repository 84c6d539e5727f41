#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each
# for a bounded time. Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] (default 60).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/setup.sh" build >/dev/null
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || {
    s=""; [ "$(id -u)" -ne 0 ] && s=sudo
    $s apt-get update -qq && DEBIAN_FRONTEND=noninteractive $s apt-get install -y -qq "$p" >/dev/null; }
done
build="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDKIT_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
corpus="$build/corpus"
"$build/tests/fuzz/make_fuzz_seeds" "$corpus"
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for target in tile_map height_map terrain_description target_areas html_text textures plain_image; do
  bin="$build/tests/fuzz/fuzz_$target"
  [ -x "$bin" ] || continue
  mkdir -p "$corpus/$target" "$build/crashes/$target"
  log="$build/fuzz_$target.log"
  if "$bin" "$corpus/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -max_len=65536 \
      -artifact_prefix="$build/crashes/$target/" >"$log" 2>&1; then result=ok; else result=FOUND; status=1; fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  [ -n "$execs" ] || execs=$(grep -Eo '#[0-9]+' "$log" | tail -1 | tr -d '#')
  printf '%-22s %-6s executions: %s\n' "$target" "$result" "${execs:-?}"
done
exit $status
