#!/usr/bin/env bash
# Builds Veldkit and runs the benchmark on synthetic terrains (generated once
# into bench-data/, about 1.5 GB with the height grid for gdaldem) under a
# virtual display large enough for a 1920 x 1080 window. The program's
# resources are read from build/run. Exports need about 2 GB more while
# they run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" build
# gdaldem shades the same height grid as the embossed export, for comparison.
if ! command -v gdaldem > /dev/null; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq gdal-bin > /dev/null
fi
cd "$root/build/run"
# --geo: only a new terrain of an area from elevation models (and land
# cover) against gdalwarp; it needs gdal-bin.
if [ "${1:-}" = "--geo" ]; then
  command -v gdalwarp >/dev/null || { s=""; [ "$(id -u)" -ne 0 ] && s=sudo; $s apt-get install -y -qq gdal-bin >/dev/null; }
  exec "$root/build/bench/veldkit_bench" --geo "$root/bench-data"
fi
# --opening: only the opening of the full terrain against its floor.
if [ "${1:-}" = "--opening" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --opening "$root/bench-data"
fi
# --png: only the PNG exports and the height import of the full terrain.
if [ "${1:-}" = "--png" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --png "$root/bench-data"
fi
# --areas: only the area commands on the full terrain.
if [ "${1:-}" = "--areas" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --areas "$root/bench-data"
fi
# --lands: only the land grid and a land fill on the full terrain.
if [ "${1:-}" = "--lands" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --lands "$root/bench-data"
fi
# --lands-import: only veldkit --import-lands of a 4001 x 4001 PNG on the
# full terrain against libpng decoding it and dd writing the tile map.
if [ "${1:-}" = "--lands-import" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --lands-import "$root/bench-data"
fi
# --make-lands: only veldkit --make-lands of 4 lands x 2 variants at 256 and
# 1024 pixels against libpng writing as many pictures (no display needed).
if [ "${1:-}" = "--make-lands" ]; then
  exec "$root/build/bench/veldkit_bench" --make-lands "$root/bench-data"
fi
# --land-preview: only the lands dialog's preview after a change of the seed
# or of a picture, four lands at 256 and 1024 pixels (no display needed).
if [ "${1:-}" = "--land-preview" ]; then
  exec "$root/build/bench/veldkit_bench" --land-preview "$root/bench-data"
fi
# --lands-stroke: only land mode's frames of a land stroke across the window.
if [ "${1:-}" = "--lands-stroke" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --lands-stroke "$root/bench-data"
fi
# --briefing: only veldkit --export briefing of the full terrain with 511
# target areas against gdal_translate of the F7 picture to a 4096-pixel PNG.
if [ "${1:-}" = "--briefing" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --briefing "$root/bench-data"
fi
# --heights: only the height commands on the full terrain.
if [ "${1:-}" = "--heights" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --heights "$root/bench-data"
fi
# --sculpt: only the sculpt brushes' strokes across a 1920 x 1080 window.
if [ "${1:-}" = "--sculpt" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --sculpt "$root/bench-data"
fi
# --target-drag: only target mode's frames of dragging an area of 511 targets.
if [ "${1:-}" = "--target-drag" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --target-drag "$root/bench-data"
fi
# --target-save: only saving the largest target file after one move.
if [ "${1:-}" = "--target-save" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --target-save "$root/bench-data"
fi
# --journal: only the recovery journal's costs on the full terrain.
if [ "${1:-}" = "--journal" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --journal "$root/bench-data"
fi
# --air-view: only the view from the air on the full terrain with 400 textures.
if [ "${1:-}" = "--air-view" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --air-view "$root/bench-data"
fi
# --redraw: only the map view's redraws of the full terrain at 1920 x 1080.
if [ "${1:-}" = "--redraw" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --redraw "$root/bench-data"
fi
# --target-save: only a save of a target file of 511 areas of 511 targets
# after one area moved, against cp of the file.
if [ "${1:-}" = "--target-save" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --target-save "$root/bench-data"
fi
# --navigation: only the overview and drags on the full terrain.
if [ "${1:-}" = "--navigation" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --navigation "$root/bench-data"
fi
# --streamed-exports: only F7, F9, data and water against dd right before each.
if [ "${1:-}" = "--streamed-exports" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --streamed-exports "$root/bench-data"
fi
# --texture-sets: only the opening of terrains of 400 BMP and PNG textures
# (written once, about 2.7 GB) against reading their files.
if [ "${1:-}" = "--texture-sets" ]; then
  exec "$root/build/bench/veldkit_bench" --texture-sets "$root/bench-data"
fi
# --palette: only the texture palette of 511 textures and the brush's frames.
if [ "${1:-}" = "--palette" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --palette "$root/bench-data"
fi
# --diff: only veldkit --diff of two full terrains against its floor.
if [ "${1:-}" = "--diff" ]; then
  exec "$root/build/bench/veldkit_bench" --diff "$root/bench-data"
fi
# --new-terrain: only veldkit --new of 4000 x 4000 against dd of the same bytes.
if [ "${1:-}" = "--new-terrain" ]; then
  exec "$root/build/bench/veldkit_bench" --new-terrain "$root/bench-data"
fi
# --command-line: only the exports of the full terrain, in the window and
# without a display.
if [ "${1:-}" = "--command-line" ]; then
  exec xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" --command-line "$root/bench-data"
fi
xvfb-run -a -s "-screen 0 2048x1280x24" "$root/build/bench/veldkit_bench" "$root/bench-data"
