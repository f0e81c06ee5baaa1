#!/usr/bin/env bash
# Installs everything, builds, and starts the editor.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh"
exec "${BUILD_DIR:-$root/build}/bin/tintreel" "$@"
