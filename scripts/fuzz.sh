#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs them.
#
#   scripts/fuzz.sh [SECONDS]
#       every target for SECONDS (default 60) from fresh seeds, in the build
#       folder (build-fuzz/); a quick check before a commit.
#   scripts/fuzz.sh --campaign MINUTES [TARGET...]
#       every target (or the ones named) for MINUTES each, or 2 million
#       inputs, whichever comes first. The corpus is kept
#       between campaigns in fuzz-corpus/TARGET (seeded on first use and
#       merged down to the inputs that add coverage after each run); inputs
#       that crash go to fuzz-crashes/TARGET. Neither folder is in git.
#
# Each target prints its runs, runs per second, corpus size and crashes; an
# input that takes over a minute counts as a hang.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
all_targets=(tile_map height_map terrain_description terrain_description_library target_areas target_areas_library html_text textures plain_image png_texture jpeg_texture bmp_info_texture height_import journal lands land_import target_writer settings geo_file dem_import class_table place_list)

mode=bounded
seconds=60
runs=-1
targets=()
if [ "${1:-}" = "--campaign" ]; then
  mode=campaign
  minutes="${2:?usage: scripts/fuzz.sh --campaign MINUTES [TARGET...]}"
  seconds=$((minutes * 60))
  runs=2000000
  shift 2
  targets=("$@")
elif [ $# -gt 0 ]; then
  seconds="$1"
fi
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

"$root/scripts/setup.sh" build >/dev/null
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || {
    s=""; [ "$(id -u)" -ne 0 ] && s=sudo
    $s apt-get update -qq && DEBIAN_FRONTEND=noninteractive $s apt-get install -y -qq "$p" >/dev/null; }
done
build="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDKIT_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

if [ "$mode" = campaign ]; then
  corpus="$root/fuzz-corpus"
  crashes="$root/fuzz-crashes"
else
  corpus="$build/corpus"
  crashes="$build/crashes"
  rm -rf "$corpus"
fi
seeds="$build/seeds"
rm -rf "$seeds"
"$build/tests/fuzz/make_fuzz_seeds" "$seeds"

export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for target in "${targets[@]}"; do
  bin="$build/tests/fuzz/fuzz_$target"
  if [ ! -x "$bin" ]; then
    echo "no fuzz target $target" >&2
    status=1
    continue
  fi
  mkdir -p "$corpus/$target" "$crashes/$target"
  # A new or emptied corpus starts from the seeds.
  if [ -d "$seeds/$target" ] && [ -z "$(ls -A "$corpus/$target")" ]; then
    cp "$seeds/$target"/* "$corpus/$target"/
  fi
  log="$build/fuzz_$target.log"
  before=$(ls "$crashes/$target" | wc -l)
  if "$bin" "$corpus/$target" -max_total_time="$seconds" -runs="$runs" -timeout=60 -rss_limit_mb=4096 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$crashes/$target/" >"$log" 2>&1; then
    result=ok
  else
    result=FOUND
    status=1
  fi
  if [ "$mode" = campaign ]; then
    # Keep only the inputs that add coverage, so the corpus stays small.
    merged="$corpus/.$target.merged"
    rm -rf "$merged"
    mkdir -p "$merged"
    if "$bin" -merge=1 -rss_limit_mb=4096 -max_len=65536 "$merged" "$corpus/$target" \
        >"$build/merge_$target.log" 2>&1; then
      rm -rf "${corpus:?}/$target"
      mv "$merged" "$corpus/$target"
    else
      rm -rf "$merged"
    fi
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  [ -n "$execs" ] || execs=$(grep -Eo '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  execs=${execs:-0}
  elapsed=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o 'in [0-9]*' | grep -o '[0-9]*' || true)
  [ -n "$elapsed" ] && [ "$elapsed" -gt 0 ] || elapsed=$seconds
  found=$(( $(ls "$crashes/$target" | wc -l) - before ))
  printf '%-20s %-5s runs: %10s   runs/s: %7s   corpus: %5s   new crashes: %s\n' "$target" "$result" \
    "$execs" "$((execs / elapsed))" "$(ls "$corpus/$target" | wc -l)" "$found"
done
exit $status
