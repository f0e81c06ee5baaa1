#!/usr/bin/env bash
# CPU time per 1080p frame of our filter kernels against the ffmpeg
# program's filters that do the same job, measured in one run.
#
# Both sides filter the same generated frames, decoded once to raw video so
# that no decoding is timed. ffmpeg runs single-threaded (-threads 1
# -filter_threads 1) on the pixel format its filter takes natively (RGB where
# it accepts one); its cost per frame is the user + system time of the run
# (its -benchmark line) minus that of the same run with -vf null, over the
# frame count. Ours is the process CPU time over all threads around the
# applications (tintreel-kernel-bench), and once more with one thread. Each
# measurement is repeated and the median taken; the machine is shared, so the
# cases are interleaved and each side of a ratio comes from the same rounds.
#
# Then the Gaussian blur against the plain command line
# `ffmpeg -f lavfi -i testsrc2=s=1920x1080 -frames 200 -vf gblur=sigma=3 -f null -`
# (its own thread count and pixel format, yuv420p: 1.5 samples a pixel
# where ours blurs 4), less the same command without the blur.
#
# usage: bench/kernel_bench.sh BUILD_DIR [FRAMES] [REPEATS]
# KERNEL_CASES="blur blur10" runs only those cases. The numbers never fail the run.
set -euo pipefail

build=${1:?usage: kernel_bench.sh BUILD_DIR [FRAMES] [REPEATS]}
frames=${2:-60}
repeats=${3:-3}
ours="$build/bin/tintreel-kernel-bench"
work="$build/bench-work/kernels"
mkdir -p "$work"
size=1920x1080
distinct=10  # frames in the raw files; the runs loop over them

# case | ffmpeg pixel format | ffmpeg filter | how comparable the work is
cases=(
    "sepia|rgba|colorchannelmixer=rr=.393:rg=.769:rb=.189:gr=.349:gg=.686:gb=.168:br=.272:bg=.534:bb=.131|same: a 3x3 colour matrix on RGBA, alpha kept"
    "blur|gbrap|gblur=sigma=3|same job, all four channels; gblur takes planar RGBA only and uses a recursive approximation"
    "blur1|gbrap|gblur=sigma=1|as blur, sigma 1"
    "blur5|gbrap|gblur=sigma=5|as blur, sigma 5"
    "blur7|gbrap|gblur=sigma=7|as blur, sigma 7"
    "blur10|gbrap|gblur=sigma=10|as blur, sigma 10"
    "blur30|gbrap|gblur=sigma=30|as blur, sigma 30"
    "vignette|rgb24|vignette|same job; ffmpeg computes its falloff map once per stream and has no alpha to copy"
    "rotation|rgba|rotate=30*PI/180|same: bilinear turn by 30 degrees, black outside, RGBA"
    "eq|yuv444p|eq=brightness=0.1:contrast=1.2:saturation=1.3|not comparable: eq takes only YUV and maps each plane through one table; ours is three RGBA passes (two tables, one luma mix)"
    "lut|rgba|lut3d=file=LUT:interp=tetrahedral|same: a 33^3 table (a CDL grade baked by ociobakelut), tetrahedral, RGBA"
    "lut-ocio|rgba|lut3d=file=LUT:interp=tetrahedral|the same table through OpenColorIO's own CPU processor"
)
# The table of the lut cases.
export KERNEL_LUT="$work/grade33.cube"
[ -f "$KERNEL_LUT" ] || ociobakelut --slope 1.1 0.95 0.9 --offset 0.02 0 -0.03 --power 0.9 1.1 1.2 --sat 1.2 \
    --format iridas_cube --cubesize 33 "$KERNEL_LUT" >/dev/null

if [ -n "${KERNEL_CASES:-}" ]; then
    chosen=()
    for entry in "${cases[@]}"; do
        [[ " $KERNEL_CASES " == *" ${entry%%|*} "* ]] && chosen+=("$entry")
    done
    cases=("${chosen[@]}")
fi

clip="$work/clip.mp4"
[ -f "$clip" ] || ffmpeg -nostdin -loglevel error -y -f lavfi \
    -i "testsrc2=s=$size:r=30:d=1,noise=alls=4:allf=t" -frames:v "$distinct" \
    -pix_fmt yuv420p -c:v libx264 -preset veryfast -crf 18 "$clip"
raw() { echo "$work/frames.$1"; }
for format in rgba rgb24 gbrap yuv444p; do
    [ -f "$(raw "$format")" ] || ffmpeg -nostdin -loglevel error -y -i "$clip" -f rawvideo -pix_fmt "$format" "$(raw "$format")"
done

ffmpeg_run() {  # pixel format, filter: user + system seconds of the run (its -benchmark line)
    ffmpeg -nostdin -loglevel info -benchmark -threads 1 -filter_threads 1 \
        -stream_loop $((frames / distinct - 1)) -f rawvideo -pix_fmt "$1" -s "$size" -r 30 -i "$(raw "$1")" \
        -vf "$2" -f null - 2>&1 | sed -n 's/^bench: utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' |
        awk '{ print $1 + $2 }'
}
ours_run() {  # case [threads]: milliseconds per frame
    "$ours" "$(raw rgba)" 1920 1080 "$frames" "$@" | awk '{ print $2 }'
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A ffmpeg_ms ours_ms ours1_ms
for ((round = 1; round <= repeats; ++round)); do
    for entry in "${cases[@]}"; do
        IFS='|' read -r name format filter _ <<<"$entry"
        null=$(ffmpeg_run "$format" null)
        with=$(ffmpeg_run "$format" "${filter//LUT/$KERNEL_LUT}")
        ffmpeg_ms[$name]+=" $(awk -v a="$with" -v b="$null" -v n="$frames" 'BEGIN { print (a - b) * 1000 / n }')"
        ours_ms[$name]+=" $(ours_run "$name")"
        ours1_ms[$name]+=" $(ours_run "$name" 1)"
    done
done

echo "CPU milliseconds per 1080p frame, median of $repeats rounds of $frames frames; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-9s %-18s %9s %9s %11s %6s  %s\n" case ffmpeg ffmpeg_ms ours_ms ours_1thr_ms ratio work
for entry in "${cases[@]}"; do
    IFS='|' read -r name format filter comparable <<<"$entry"
    f=$(median <<<"${ffmpeg_ms[$name]}")
    o=$(median <<<"${ours_ms[$name]}")
    o1=$(median <<<"${ours1_ms[$name]}")
    printf "%-9s %-18s %9.2f %9.2f %11.2f %6.2f  %s\n" "$name" "${filter%%=*}" "$f" "$o" "$o1" \
        "$(awk -v a="$o" -v b="$f" 'BEGIN { print a / b }')" "$comparable"
done

# The blur at sigma 3 against the plain command line, default threads.
plain_run() {  # filter: user + system seconds of the run
    ffmpeg -nostdin -loglevel info -benchmark -f lavfi -i testsrc2=s=$size -frames 200 -vf "$1" -f null - 2>&1 |
        sed -n 's/^bench: utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' | awk '{ print $1 + $2 }'
}
plain_ms="" mine_ms=""
for ((round = 1; round <= repeats; ++round)); do
    null=$(plain_run null)
    with=$(plain_run gblur=sigma=3)
    plain_ms+=" $(awk -v a="$with" -v b="$null" 'BEGIN { print (a - b) * 1000 / 200 }')"
    mine_ms+=" $(ours_run blur)"
done
f=$(median <<<"$plain_ms")
o=$(median <<<"$mine_ms")
echo
echo "blur sigma 3 against 'ffmpeg -f lavfi -i testsrc2=s=$size -frames 200 -vf gblur=sigma=3 -f null -' (yuv420p):"
printf "ffmpeg_ms %.2f  ours_ms %.2f  ratio %.2f\n" "$f" "$o" "$(awk -v a="$o" -v b="$f" 'BEGIN { print a / b }')"
