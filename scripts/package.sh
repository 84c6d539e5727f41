#!/usr/bin/env bash
# Builds the Debian package build/veldkit_<version>_amd64.deb with CPack,
# from a build configured for /usr in its own folder.
#   scripts/package.sh [BUILD_DIR [OUTPUT_DIR]]   (default: build-package, build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(realpath -m "${1:-$root/build-package}")"
out_dir="$(realpath -m "${2:-$root/build}")"
"$root/scripts/setup.sh" --packages
# From the source folder, so that the flags (their -ffile-prefix-map) are the
# same wherever this is started and an earlier build stays valid.
cd "$root"

# Debian's hardening flags, all of them (bindnow too), as a package build gets them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target veldkit
rm -f "$build_dir"/veldkit_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/veldkit_*_amd64.deb)
mkdir -p "$out_dir"
[ "$(dirname "$package")" = "$out_dir" ] || mv -f "$package" "$out_dir/"
echo "$out_dir/$(basename "$package")"
