#!/usr/bin/env bash
# Builds the Debian package of Tintreel with CPack from the build in build/
# (or $BUILD_DIR), building it first when needed. The package lands in
# build/package/ as tintreel_<version>_<arch>.deb; install it with
#   apt install ./build/package/tintreel_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

bash "$root/scripts/build.sh"
rm -rf "$build_dir/package"
(cd "$build_dir" && cpack -G DEB -B "$build_dir/package" >/dev/null)
ls "$build_dir"/package/tintreel_*.deb
