#!/usr/bin/env bash
# Installs the Debian packages Veldkit needs when any is missing, then
# configures and builds into the given build folder (default: build).
#   scripts/setup.sh --packages   only installs what is missing
set -euo pipefail
cd "$(dirname "$0")/.."

# cairo and fontconfig draw the briefing map with a DejaVu font; poppler-utils
# (pdfinfo, pdftotext) lets the tests read the PDF back. GDAL reads elevation
# models and places the terrain on the Earth; gdal-bin is the tests' and the
# benchmark's reference.
packages=(liballegro4-dev libx11-dev libpng-dev libjpeg-dev zlib1g-dev libcairo2-dev libfontconfig-dev libgdal-dev libproj-dev
  gdal-bin fonts-dejavu-core cmake g++ pkg-config libgtest-dev xvfb xauth xdotool python3 dpkg-dev poppler-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

[ "${1:-}" = --packages ] && exit 0

build_dir="${1:-build}"
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
