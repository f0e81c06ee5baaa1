#!/usr/bin/env bash
# Five looks in one pass against the ffmpeg program's own one-pass chain for
# the same looks (the movie benchmark's), on camera footage: the clip given,
# or else a generated stand-in for a phone's: 1080p recorded sideways (a 90
# degree rotation in its metadata), full-range colour, High profile with
# B-frames at about 20 Mbit/s, 48 kHz sound, and heavy sensor-like noise that
# changes every frame. Four paired runs, our render and the chain in turns;
# prints each pair's wall and CPU times (user + system) and the ratios of the
# medians. The numbers never fail the run.
#
# usage: bench/footage_bench.sh BUILD_DIR [CLIP]
set -euo pipefail

build=${1:?usage: footage_bench.sh BUILD_DIR [CLIP]}
# shellcheck source=bench/movie_common.sh
source "$(dirname "$0")/movie_common.sh"

clip=${2:-$work/phone_like_10s.mov}
if [ ! -f "$clip" ]; then
    # The rotation is set on a copy: the muxer keeps it only when it remuxes.
    ffmpeg -nostdin -loglevel error -y \
        -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10,noise=alls=24:allf=t+u" -f lavfi -i "sine=f=440:d=10:r=48000" \
        -c:v libx264 -profile:v high -bf 3 -preset veryfast -b:v 20M -pix_fmt yuvj420p -color_range pc \
        -c:a aac -b:a 192k "$work/phone_like_unrotated.mp4"
    ffmpeg -nostdin -loglevel error -y -i "$work/phone_like_unrotated.mp4" -c copy -metadata:s:v:0 rotate=90 \
        -f mov "$clip"
fi
out="$work/footage_out.mp4"

echo "clip: $clip ($(ffprobe -v error -select_streams v:0 -show_entries stream=width,height,pix_fmt,profile \
    -of csv=p=0 "$clip"))"
uptime
ours_wall=() ours_cpu=() chain_wall=() chain_cpu=()
for turn in 1 2 3 4; do
    read -r wall cpu < <(times_of "$render" -y -o "$out" "${five_looks[@]}" "$clip")
    ours_wall+=("$wall") ours_cpu+=("$cpu")
    read -r wall cpu < <(times_of ffmpeg -nostdin -loglevel error -y -i "$clip" -vf "$ffmpeg_chain" \
        "${final_pass[@]}" -c:a copy "$out")
    chain_wall+=("$wall") chain_cpu+=("$cpu")
    echo "turn $turn: tintreel ${ours_wall[-1]} s (CPU ${ours_cpu[-1]} s), ffmpeg chain ${chain_wall[-1]} s (CPU ${chain_cpu[-1]} s)"
done
echo "five looks on footage, ours / the chain, ratio of the medians: wall" \
     "$(ratio "$(median "${ours_wall[@]}")" "$(median "${chain_wall[@]}")"), CPU" \
     "$(ratio "$(median "${ours_cpu[@]}")" "$(median "${chain_cpu[@]}")") (target at most 1.0)"
uptime
