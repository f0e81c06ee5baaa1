#!/usr/bin/env bash
# One long movie on several workers: a 60 s 1080p clip rendered whole with a
# three-effect look, against the same look rendered as --segment 1/2 and 2/2
# side by side (as two workers would) and then --join. Prints both wall
# times, the ratio, and checks that the joined movie has the whole render's
# frame count and frame times. On one machine the two slices share its
# cores: the ratio shows the overhead of splitting there, not the gain of
# real extra workers.
#
# usage: bench/segment_bench.sh BUILD_DIR [SECONDS]
set -euo pipefail

build=${1:?usage: segment_bench.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

look=(--set sliderBrightness=0.1 --set checkSepia=1 --set checkTextWatermark=1 --set textFieldText=Tintreel)
clip="$work/clip1080_${seconds}s.mp4"
make_clip 1920x1080 "$seconds" "$clip"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }
frame_times() { ffprobe -v error -select_streams v:0 -show_entries frame=pts_time -of csv=p=0 "$1" | cut -d, -f1 | grep .; }

start=$(now)
"$render" -y -o "$work/whole.mp4" "${look[@]}" "$clip" 2>/dev/null
whole=$(elapsed "$start" "$(now)")

start=$(now)
"$render" -y --segment 1/2 -o "$work/part_1.mkv" "${look[@]}" "$clip" 2>/dev/null &
first=$!
"$render" -y --segment 2/2 -o "$work/part_2.mkv" "${look[@]}" "$clip" 2>/dev/null &
second=$!
wait "$first" "$second"
sliced=$(elapsed "$start" "$(now)")
"$render" -y --join -o "$work/joined.mp4" --audio-from "$clip" "$work/part_1.mkv" "$work/part_2.mkv"
split=$(elapsed "$start" "$(now)")

if cmp -s <(frame_times "$work/whole.mp4") <(frame_times "$work/joined.mp4"); then same=yes; else same=NO; fi
echo "whole render: ${whole} s"
echo "--segment 1/2 and 2/2 side by side: ${sliced} s, then --join: $(elapsed "$sliced" "$split") s, total ${split} s"
echo "whole / split: $(awk -v a="$whole" -v b="$split" 'BEGIN { printf "%.2f", a / b }')"
echo "joined movie has the whole render's frames and frame times: $same ($(frame_times "$work/joined.mp4" | wc -l) frames)"
