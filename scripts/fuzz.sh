#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on, in build-fuzz/) and runs each for a bounded
# time from a seed corpus: the committed settings texts in fuzz/seeds/, and
# tiny movies made here by ffmpeg plus the small inputs in fuzz/seeds/movie
# that once found a fault, so they are tried again first. A crash, a
# sanitizer report, a leak or an input that takes too long fails the run;
# the input that did it is kept in build-fuzz/findings/. Prints each
# target's number of executions.
#
#   FUZZ_SECONDS   time per target (default 90)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-90}"

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_CXX_FLAGS=-fsized-deallocation \
  -DTINTREEL_SANITIZE=fuzzer-no-link,address,undefined \
  -DTINTREEL_BUILD_FUZZ=ON -DTINTREEL_BUILD_TESTS=OFF -DTINTREEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target tintreel-fuzz-settings tintreel-fuzz-movie

work="$build_dir/fuzz-work"
rm -rf "$work"
mkdir -p "$work/tmp" "$work/movie-seeds" "$build_dir/findings"

# Tiny movies of each accepted container and the codecs a camera or an
# earlier pass writes, with and without audio, one with a rotation tag.
make_movie() {
  local name="$1"
  shift
  ffmpeg -nostdin -loglevel error -y "$@" "$work/movie-seeds/$name"
}
make_movie h264.mov -f lavfi -i testsrc2=s=32x24:r=10:d=0.3 -c:v libx264 -preset ultrafast -pix_fmt yuv420p
make_movie rgb.mov -f lavfi -i testsrc2=s=16x16:r=10:d=0.2 -c:v libx264rgb -preset ultrafast -qp 0
make_movie audio.mp4 -f lavfi -i testsrc2=s=32x24:r=10:d=0.3 -f lavfi -i sine=d=0.3 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 16k -shortest
make_movie mpeg4.m4v -f lavfi -i testsrc2=s=24x16:r=10:d=0.3 -c:v mpeg4 -q:v 20
make_movie h263.3gp -f lavfi -i testsrc2=s=128x96:r=10:d=0.2 -c:v h263 -q:v 31
make_movie mpeg4.3g2 -f lavfi -i testsrc2=s=16x16:r=10:d=0.2 -c:v mpeg4 -q:v 31
make_movie rotated.mov -f lavfi -i testsrc2=s=16x32:r=10:d=0.2 -c:v libx264 -preset ultrafast \
  -pix_fmt yuv420p -metadata:s:v:0 rotate=90
cp "$root"/fuzz/seeds/movie/* "$work/movie-seeds/"

# One target: writable corpus first, then the seeds. Reports go to the log;
# the fuzzed code's own chatter on standard output is closed.
run_target() {
  local name="$1" seeds="$2" log="$work/$1.log"
  shift 2
  mkdir -p "$work/$name-corpus"
  echo "fuzzing $name for $seconds s"
  if ! TMPDIR="$work/tmp" "$build_dir/bin/tintreel-fuzz-$name" "$work/$name-corpus" "$seeds" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$build_dir/findings/$name-" "$@" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzzing $name found a problem; the input is in $build_dir/findings/"
    return 1
  fi
  echo "$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions," \
    "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log") per second," \
    "$(find "$work/$name-corpus" -type f | wc -l) inputs in the corpus"
}

export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
status=0
run_target settings "$root/fuzz/seeds/settings" -max_len=16384 || status=1
run_target movie "$work/movie-seeds" -max_len=65536 || status=1
exit $status
