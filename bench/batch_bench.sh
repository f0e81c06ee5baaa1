#!/usr/bin/env bash
# Many files with one look: twelve generated 720p clips of 5 s with sound,
# brightness + sepia + a text watermark, rendered by the built-in batch with
# -j 1 and -j 2 and by GNU parallel running one tintreel-render per clip two
# at a time, against the ffmpeg program doing the same twelve transcodes one
# after the other (decode, RGBA and back, our final encoder settings, audio
# copied: the least any render must do). Each time is printed with its ratio
# to that baseline.
#
# usage: bench/batch_bench.sh BUILD_DIR [CLIPS] [SECONDS]
set -euo pipefail

build=${1:?usage: batch_bench.sh BUILD_DIR [CLIPS] [SECONDS]}
count=${2:-12}
seconds=${3:-5}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

clips="$work/batch-clips"
out="$work/batch-out"
mkdir -p "$clips"
for i in $(seq -w 1 "$count"); do make_clip 1280x720 "$seconds" "$clips/clip$i.mp4"; done

fresh_output() { rm -rf "$out" && mkdir -p "$out"; }

ffmpeg_one_by_one() {
    local clip
    for clip in "$clips"/*.mp4; do
        # shellcheck disable=SC2046
        $(baseline "$clip" "$out/$(basename "$clip")")
    done
}

fresh_output
start=$(date +%s.%N)
ffmpeg_one_by_one
base=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }')
echo "load before: $(cut -d" " -f1-3 /proc/loadavg)"
echo "ffmpeg, $count transcodes one after the other: ${base} s"

fresh_output
j1=$(seconds_of "$render" -j 1 "${three_looks[@]}" -o "$out" "$clips")
echo "tintreel-render batch -j 1: ${j1} s, $(ratio "$j1" "$base") x ffmpeg"

fresh_output
j2=$(seconds_of "$render" -j 2 "${three_looks[@]}" -o "$out" "$clips")
echo "tintreel-render batch -j 2: ${j2} s, $(ratio "$j2" "$base") x ffmpeg, $(ratio "$j1" "$j2") x faster than -j 1"

fresh_output
gnu=$(seconds_of parallel --will-cite -j2 "$render" "${three_looks[@]}" -o "$out/{/.}.mp4" {} ::: "$clips"/*.mp4)
echo "GNU parallel -j2: ${gnu} s, $(ratio "$gnu" "$base") x ffmpeg, $(ratio "$gnu" "$j2") x the built-in -j 2"
echo "load after: $(cut -d" " -f1-3 /proc/loadavg)"
