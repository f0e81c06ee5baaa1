#!/usr/bin/env bash
# Builds tests with sanitizers into a build directory of their own and runs them.
#
#   sanitize.sh address   AddressSanitizer + UndefinedBehaviorSanitizer, the
#                         whole suite (no benchmarks), in build-asan/
#   sanitize.sh thread    ThreadSanitizer, the tests whose code runs on several
#                         threads, in build-tsan/
#
# Any report fails the run: the sanitizers abort on the first finding. The
# suppression files in scripts/sanitizers/ name only libraries we do not build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
suppressions="$root/scripts/sanitizers"
jobs="$(nproc)"

# The threaded parts: the movie reader's decoding and delivery threads with
# the writer, the pass's wait loop, the render worker and its cancel, filter
# row blocks (and the recursive blur's column bands) stopping on a cancel
# flag, the command line's interrupt, the
# notification centre,
# and the window's hand-overs between the GUI thread and its workers (loading,
# refresh coalescing, frame browsing, progress, a render's end and the
# save of its movie on a thread of its own), the
# render limit's waiters, the batch queue with the batch window, and live
# playback's decoding thread handing frames to the window. The
# window's full renders are left to the other stages: under this sanitizer
# they run too slowly for the pass's one-second stall test.
threaded_patterns=(
  'RenderWorker\.' 'CancelScope\.' 'KernelAccuracy\.GaussianIsTheSameOnOneThread' 'VideoTools\.'
  'MovieTranscode\.' 'InputSafety\.Interrupt' 'BatchCommand\.AnInterrupt' 'BatchCommand\.BadInputs'
  'NotificationCenter\.' 'EditorTest\.' 'MainWindowTest\.' 'RenderFromWindowTest\.(ProgressLabels|ACancelIn|Saving)'
  'RenderSlots\.' 'BatchQueue\.' 'BatchWindowTest\.(FilesAndFolders|ABatchApplies|TheFileMenuOpens|TheEditorWaits)'
  'PlaybackEngine\.' 'PlaybackTest\.' 'TimelineTest\.Keys'
)
threaded_tests="^($(IFS='|'; echo "${threaded_patterns[*]}"))"
threaded_targets=(tintreel_tests_render tintreel_tests_platform_filters tintreel_tests_platform_media tintreel_tests_platform_system tintreel_tests_cli
                  tintreel_tests_editor tintreel_tests_app tintreel_tests_batch tintreel_tests_preview)

case "${1:-}" in
  address)
    build_dir="${ASAN_BUILD_DIR:-$root/build-asan}"
    flags=address,undefined
    targets=(all)
    selection=()
    # Leak checking stays on; the suppressions cover leaks inside system libraries only.
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=0:strict_init_order=1"
    export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ;;
  thread)
    build_dir="${TSAN_BUILD_DIR:-$root/build-tsan}"
    flags=thread
    targets=("${threaded_targets[@]}")
    selection=(-R "$threaded_tests")
    export TSAN_OPTIONS="suppressions=$suppressions/tsan.supp:halt_on_error=1:second_deadlock_stack=1:history_size=7"
    ;;
  *)
    echo "usage: sanitize.sh address|thread" >&2
    exit 2
    ;;
esac

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTINTREEL_SANITIZE="$flags" -DTINTREEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}"
cd "$build_dir"
# A renamed or joined test silently leaves the selection: every pattern must
# still name at least one test.
if [ "$1" = thread ]; then
  for pattern in "${threaded_patterns[@]}"; do
    # grep -c reads the whole listing: grep -q would stop early and, with
    # pipefail, let ctest's broken pipe pass for "no test".
    if [ "$(ctest -N -R "^($pattern)" | grep -c 'Test *#')" -eq 0 ]; then
      echo "the thread sanitizer's selection names no test: $pattern" >&2
      exit 1
    fi
  done
fi
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" "${selection[@]}"
