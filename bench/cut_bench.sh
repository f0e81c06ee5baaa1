#!/usr/bin/env bash
# A 10 s span cut from the middle of a 60 s 1080p clip (--from 25 --to 35)
# against rendering a clip that is 10 s long, both with the same light look.
# The cut seeks to the key frame before its in point, so it should cost about
# what the short clip costs (the target: at most 1.2 times). Prints both wall
# times, the ratio, and the frame counts of both outputs.
#
# usage: bench/cut_bench.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: cut_bench.sh BUILD_DIR}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

look=(--set sliderBrightness=0.1)
long="$work/clip1080_60s.mp4"
short="$work/clip1080_10s.mp4"
make_clip 1920x1080 60 "$long"
make_clip 1920x1080 10 "$short"
frames() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }

uptime
whole=$(seconds_of "$render" -y -o "$work/short.mp4" "${look[@]}" "$short")
cut=$(seconds_of "$render" -y --from 25 --to 35 -o "$work/cut.mp4" "${look[@]}" "$long")
echo "10 s clip rendered:          ${whole} s ($(frames "$work/short.mp4") frames)"
echo "10 s cut from a 60 s clip:   ${cut} s ($(frames "$work/cut.mp4") frames)"
echo "ratio cut / clip:            $(ratio "$cut" "$whole") (target at most 1.20)"
uptime
