#!/usr/bin/env bash
# What normalising the loudness adds to a 1080p render with five looks: the
# same 20 s clip rendered with the look alone and with --loudness -14 (the
# sound measured, decoded without the picture, then encoded again with one
# gain), in turns, twice each. The target: at most 1.10 times. Prints each
# wall time, the ratio of the means, and the normalised output's loudness by
# the ffmpeg program's own meter.
#
# usage: bench/loudness_bench.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: loudness_bench.sh BUILD_DIR}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

clip="$work/clip1080_20s.mp4"
make_clip 1920x1080 20 "$clip"

uptime
plain_total=0 loud_total=0
for turn in 1 2; do
    plain=$(seconds_of "$render" -y -o "$work/plain.mp4" "${five_looks[@]}" "$clip")
    loud=$(seconds_of "$render" -y --loudness -14 -o "$work/loud.mp4" "${five_looks[@]}" "$clip")
    echo "turn $turn: five looks ${plain} s, with --loudness -14 ${loud} s"
    plain_total=$(awk -v a="$plain_total" -v b="$plain" 'BEGIN { print a + b }')
    loud_total=$(awk -v a="$loud_total" -v b="$loud" 'BEGIN { print a + b }')
done
echo "ratio normalised / plain:    $(ratio "$loud_total" "$plain_total") (target at most 1.10)"
ffmpeg -nostats -hide_banner -i "$work/loud.mp4" -map 0:a:0 -af ebur128=peak=true -f null - 2>&1 |
    awk '/Summary:/ { s = 1 } s && /I:|Peak:/ { print "output " $1 " " $2 " " $3 }'
uptime
