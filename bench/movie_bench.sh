#!/usr/bin/env bash
# Movie rendering against the physical limit: the ffmpeg program doing the
# least any render must do (decode, convert to RGBA and back, encode with our
# final pass's settings, copy the audio), timed in the same run as
# tintreel-render passes on the same clip, each printed as a ratio to it.
# Then five looks in one pass against the ffmpeg program's own one-pass
# filter chain for the same looks; peak memory of a 4K render against ffmpeg
# doing the same at 4K; and the peak size of the private temporary directory
# during a 3-effect render in each pass mode.
#
# usage: bench/movie_bench.sh BUILD_DIR [SECONDS_1080P] [SECONDS_4K]
set -euo pipefail

build=${1:?usage: movie_bench.sh BUILD_DIR [SECONDS_1080P] [SECONDS_4K]}
seconds=${2:-10}
seconds4k=${3:-3}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"
peak_kib_of() { /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null 2>&1; cat "$work/mem"; }

clip="$work/clip1080.mp4"
make_clip 1920x1080 "$seconds" "$clip"
out="$work/out.mp4"

# shellcheck disable=SC2046
# The machine is shared: each case is compared with the mean of the
# baseline runs just before and just after it.
# shellcheck disable=SC2046
a=$(seconds_of $(baseline "$clip" "$out"))
echo "(a) ffmpeg decode+RGBA+encode+audio copy: ${a} s"
declare -A cases=(
    [b_brightness]="--set sliderBrightness=0.1"
    [c_sepia]="--set checkSepia=1"
    [d_text_watermark]="--set checkTextWatermark=1 --set textFieldText=Tintreel"
    [e_three_effects]="${three_looks[*]}"
    [f_three_effects_each]="--passes each ${three_looks[*]}"
)
for name in b_brightness c_sepia d_text_watermark e_three_effects f_three_effects_each; do
    # shellcheck disable=SC2086
    t=$(seconds_of "$render" -y -o "$out" ${cases[$name]} "$clip")
    # shellcheck disable=SC2046
    after=$(seconds_of $(baseline "$clip" "$out"))
    mean=$(awk -v x="$a" -v y="$after" 'BEGIN { print (x + y) / 2 }')
    echo "($name) tintreel-render: ${t} s, baseline ${a}/${after} s, ratio $(ratio "$t" "$mean")"
    a=$after
done

# Five looks: brightness, sepia, vignette, blur and a text watermark, as the
# ffmpeg program's own filters in one chain and as ours in one pass and in
# one pass per effect.
chain=$(seconds_of ffmpeg -nostdin -loglevel error -y -i "$clip" -vf "$ffmpeg_chain" \
        "${final_pass[@]}" -c:a copy "$out")
one=$(seconds_of "$render" -y -o "$out" "${five_looks[@]}" "$clip")
each=$(seconds_of "$render" -y -o "$out" --passes each "${five_looks[@]}" "$clip")
# shellcheck disable=SC2046
plain=$(seconds_of $(baseline "$clip" "$out"))
echo "(five looks) ffmpeg chain ${chain} s, plain transcode ${plain} s;" \
     "tintreel one pass ${one} s: $(ratio "$one" "$chain") x the chain, $(ratio "$one" "$plain") x the transcode;" \
     "per-effect passes ${each} s: $(ratio "$each" "$chain") x the chain"

# Peak of the private temporary directory (and of anything beside OUTPUT)
# during a three-effect render, in each pass mode.
temporary_peak() {  # render arguments...
    local peak=0 size pid
    "$render" -y -o "$out" "$@" "$clip" >/dev/null 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        size=$( (du -sck "$work"/tintreel-* 2>/dev/null || true) | tail -1 | cut -f1)
        [ "${size:-0}" -gt "$peak" ] && peak=$size
        sleep 0.2
    done
    echo "$peak"
}
for mode in one each; do
    # shellcheck disable=SC2086
    peak=$(temporary_peak --passes "$mode" ${cases[e_three_effects]})
    echo "temporary directory peak (3 effects, --passes $mode, ${seconds} s 1080p): ${peak} KiB" \
         "= $(awk -v k="$peak" -v s="$seconds" 'BEGIN { printf "%.1f", k / s / 1024 }') MiB per second of movie"
done

clip4k="$work/clip4k.mp4"
make_clip 3840x2160 "$seconds4k" "$clip4k"
# shellcheck disable=SC2046
ma=$(peak_kib_of $(baseline "$clip4k" "$out"))
mb=$(peak_kib_of "$render" -y -o "$out" "${five_looks[@]}" "$clip4k")
echo "4K peak memory: ffmpeg ${ma} KiB, tintreel-render five looks in one pass ${mb} KiB, ratio $(ratio "$mb" "$ma")"
