#!/usr/bin/env bash
# What a colour table adds to a 1080p render: the same 10 s clip rendered
# with five looks, and with five looks and a 33^3 table (a CDL grade baked by
# ociobakelut), in turns, five times each. The target: at most 1.05 times.
# Prints each pair's wall and CPU times (user + system, which a host shared
# with others disturbs less than the wall clock) and the ratios of the medians.
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

uptime
plain_wall=() plain_cpu=() graded_wall=() graded_cpu=()
for turn in 1 2 3 4 5; do
    read -r wall cpu < <(times_of "$render" -y -o "$work/plain.mp4" "${five_looks[@]}" "$clip")
    plain_wall+=("$wall") plain_cpu+=("$cpu")
    read -r wall cpu < <(times_of "$render" -y --lut "$table" -o "$work/graded.mp4" "${five_looks[@]}" "$clip")
    graded_wall+=("$wall") graded_cpu+=("$cpu")
    echo "turn $turn: five looks ${plain_wall[-1]} s (CPU ${plain_cpu[-1]} s), with the table ${graded_wall[-1]} s (CPU ${graded_cpu[-1]} s)"
done
echo "ratio of the medians, table / plain: wall $(ratio "$(median "${graded_wall[@]}")" "$(median "${plain_wall[@]}")"), CPU $(ratio "$(median "${graded_cpu[@]}")" "$(median "${plain_cpu[@]}")") (target at most 1.05)"
uptime
