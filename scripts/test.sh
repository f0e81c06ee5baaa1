#!/usr/bin/env bash
# Installs everything, builds, and runs the whole test suite. Then, unless
# TINTREEL_QUICK=1 asks for the quick suite only, the hardening stages: the
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded
# tests under ThreadSanitizer, and each fuzz target for a bounded time.
# Each stage prints how long it took; the first failing stage ends the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

stage() {
  local name="$1" started=$SECONDS
  shift
  "$@"
  echo "== stage '$name' passed in $((SECONDS - started)) s"
}

run_suite() {
  bash "$root/scripts/build.sh"
  (cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600)
}

stage "include layers" bash "$root/scripts/check-layers.sh"
stage "build and test" run_suite
stage "the README's run command opens the editor" bash "$root/scripts/check-run.sh"
stage "desktop files and package" bash "$root/scripts/check-desktop.sh"
[ "${TINTREEL_QUICK:-0}" = 1 ] && exit 0
stage "address and undefined-behaviour sanitizers" bash "$root/scripts/sanitize.sh" address
stage "thread sanitizer" bash "$root/scripts/sanitize.sh" thread
stage "fuzzing" bash "$root/scripts/fuzz.sh"
