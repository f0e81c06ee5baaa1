#!/usr/bin/env bash
# How fast a cancel ends a render: tintreel-render is interrupted (SIGINT, as
# Ctrl-C does) a few seconds into a one-pass render with five looks, at 1080p
# and at 4K, and the time until the process has exited (its files removed) is
# printed. Also renders one second of 4K with every effect on, whose frames
# take seconds each: the render must end as done, never judged stalled.
#
# usage: bench/cancel_bench.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: cancel_bench.sh BUILD_DIR}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

cancel_latency() {  # clip label
    local out="$work/cancelled.mp4" pid started ended
    rm -f "$out"
    "$render" -o "$out" -y "${five_looks[@]}" "$1" >/dev/null 2>&1 &
    pid=$!
    sleep 3
    started=$(date +%s.%N)
    kill -INT "$pid"
    wait "$pid" || true
    ended=$(date +%s.%N)
    local left
    left=$(find "$work" -maxdepth 1 -name 'cancelled.mp4*' | wc -l)
    echo "cancel at $2: exited $(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.0f", (b - a) * 1000 }') ms" \
         "after SIGINT, files left beside OUTPUT: $left"
}

make_clip 1920x1080 10 "$work/clip1080.mp4"
make_clip 3840x2160 3 "$work/clip4k.mp4"
cancel_latency "$work/clip1080.mp4" 1080p
cancel_latency "$work/clip4k.mp4" 4K

make_clip 3840x2160 1 "$work/clip4k-1s.mp4"
everything=()
for box in BlackWhite Sepia Cartoon OilPainting Vignette Pixellate Halftone Blur CircleBlur FocusBlur MotionBlur \
           ZoomBlur Scale Rotate 3DTransform Swirl GlassSphere TextWatermark; do
    everything+=(--set "check$box=1")
done
started=$(date +%s.%N)
status=0
"$render" -y -o "$work/everything.mp4" "${everything[@]}" "$work/clip4k-1s.mp4" >/dev/null 2>&1 || status=$?
ended=$(date +%s.%N)
echo "4K, every effect on, 30 frames: exit status $status in" \
     "$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }') s"
