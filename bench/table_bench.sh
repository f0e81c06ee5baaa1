#!/usr/bin/env bash
# What a colour table adds to a 1080p render: the same 10 s clip rendered
# with five looks, and with five looks and a 33^3 table (a CDL grade baked by
# ociobakelut), in turns, three times each. The target: at most 1.05 times.
# Prints each pair of wall times and the ratio of the medians.
#
# usage: bench/table_bench.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: table_bench.sh BUILD_DIR}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

clip="$work/clip1080_10s.mp4"
make_clip 1920x1080 10 "$clip"
table="$work/grade33.cube"
[ -f "$table" ] || ociobakelut --slope 1.1 0.95 0.9 --offset 0.02 0 -0.03 --power 0.9 1.1 1.2 --sat 1.2 \
    --format iridas_cube --cubesize 33 "$table" >/dev/null
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

uptime
plain=() graded=()
for turn in 1 2 3; do
    plain+=("$(seconds_of "$render" -y -o "$work/plain.mp4" "${five_looks[@]}" "$clip")")
    graded+=("$(seconds_of "$render" -y --lut "$table" -o "$work/graded.mp4" "${five_looks[@]}" "$clip")")
    echo "turn $turn: five looks ${plain[-1]} s, with the table ${graded[-1]} s"
done
echo "ratio of the medians, table / plain: $(ratio "$(median "${graded[@]}")" "$(median "${plain[@]}")") (target at most 1.05)"
uptime
