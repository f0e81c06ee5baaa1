# Shared by the movie benchmarks (sourced, not run): the work folder in the
# build tree, which also serves as the renders' private runtime directory,
# the generated clips, the timing helpers, the ffmpeg baseline, and the looks
# the one-pass targets name.
# Expects $build to be set.
render="$build/bin/tintreel-render"
work="$build/bench-work"
mkdir -p "$work" && chmod 700 "$work"
export XDG_RUNTIME_DIR="$work"

make_clip() {  # size seconds output: noisy test pattern with a tone, made once
    [ -f "$3" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=$1:r=30:d=$2,noise=alls=4:allf=t" \
        -f lavfi -i "sine=f=440:d=$2" -pix_fmt yuv420p -c:v libx264 -preset veryfast -crf 18 -c:a aac "$3"
}

# The encoder settings of our final pass (src/platform/media/MovieWriter.cpp).
final_pass=(-c:v libx264 -preset medium -crf 16 -pix_fmt yuv420p)

# The median of the numbers given (the lower middle one of an even count).
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Wall and CPU (user + system) seconds of one run.
times_of() { /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>&1; awk '{ print $1, $2 + $3 }' "$work/time"; }
seconds_of() { /usr/bin/time -f %e -o "$work/time" "$@" >/dev/null 2>&1; cat "$work/time"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
baseline() {  # input output: the least any render must do, as a command line for /usr/bin/time
    echo ffmpeg -nostdin -loglevel error -y -i "$1" -vf format=rgba,format=yuv420p "${final_pass[@]}" -c:a copy "$2"
}

# Brightness, sepia and a text watermark.
three_looks=(--set sliderBrightness=0.1 --set checkSepia=1 --set checkTextWatermark=1 --set textFieldText=Tintreel)

# Brightness, sepia, vignette, blur and a text watermark, as our settings
# and as the ffmpeg program's own filter chain.
ffmpeg_chain="eq=brightness=0.1,colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131,vignette"
ffmpeg_chain+=",gblur=sigma=3,drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:text=Tintreel"
ffmpeg_chain+=":fontsize=80:fontcolor=white:x=20:y=h-th-20"
five_looks=(--set sliderBrightness=0.1 --set checkSepia=1 --set checkVignette=1 --set checkBlur=1
            --set checkTextWatermark=1 --set textFieldText=Tintreel)
