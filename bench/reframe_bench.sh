#!/usr/bin/env bash
# What the frame's shape costs: a 1080p clip rendered with a three-effect
# look as it is, with a crop of nearly the whole frame (1920x1072), and
# reframed to 9:16 on a blurred copy (1080x1920, the same pixel count as the
# plain render). Prints each wall time and its ratio to the plain render;
# the aim is a crop that costs nothing measurable and a blurred reframe at
# most 1.2 times the plain render.
#
# usage: bench/reframe_bench.sh BUILD_DIR [SECONDS]
set -euo pipefail

build=${1:?usage: reframe_bench.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

clip="$work/clip1080_${seconds}s.mp4"
make_clip 1920x1080 "$seconds" "$clip"

plain=$(seconds_of "$render" -y -o "$work/plain.mp4" "${three_looks[@]}" "$clip")
crop=$(seconds_of "$render" -y -o "$work/crop.mp4" --crop 1920:1072:0:4 "${three_looks[@]}" "$clip")
blur=$(seconds_of "$render" -y -o "$work/blur.mp4" --aspect 9:16 --fill blur "${three_looks[@]}" "$clip")

echo "reframe bench: ${seconds} s of 1080p, brightness + sepia + text watermark"
echo "  plain              ${plain} s"
echo "  crop 1920x1072     ${crop} s  ($(ratio "$crop" "$plain")x)"
echo "  9:16 blurred copy  ${blur} s  ($(ratio "$blur" "$plain")x)"
uptime
