#!/usr/bin/env bash
# Live playback of a 60 s 1080p 30 fps movie (noise, a tone, a key frame every
# second) with five looks on, at each preview scale. TINTREEL_BENCH_SECONDS
# plays a shorter run. Exits 0 whatever the numbers.
set -uo pipefail
build="$1"
seconds="${TINTREEL_BENCH_SECONDS:-60}"
work="$build/bench-work"
mkdir -p "$work"
clip="$work/playback-1080p-60s.mp4"
if [ ! -s "$clip" ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=60,noise=alls=20:allf=t" \
    -f lavfi -i "sine=frequency=440:duration=60" -c:v libx264 -preset veryfast -b:v 8M -maxrate 10M -bufsize 16M -g 30 \
    -pix_fmt yuv420p -c:a aac -shortest "$clip.part.mp4" && mv "$clip.part.mp4" "$clip"
fi
# Without a sound server, playback runs by the wall clock. PLAYBACK_SOUND=null
# starts a private server whose null sink takes the sound at a device's pace,
# so playback runs by the sound's clock. That sink is no stand-in for a sound
# card's timing: it starts a new stream up to two seconds late and takes the
# sound in bursts of a few hundred milliseconds, which the pictures follow.
server=""
if [ "${PLAYBACK_SOUND:-}" = null ] && command -v pulseaudio >/dev/null; then
  runtime="$(cd "$work" && pwd)/sound-server"  # the server takes only absolute paths
  rm -rf "$runtime" && mkdir -p "$runtime" && chmod 700 "$runtime"
  XDG_RUNTIME_DIR="$runtime" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    "--load=module-null-sink sink_name=bench" --load=module-native-protocol-unix >/dev/null 2>&1 &
  server=$!
  trap 'kill "$server" 2>/dev/null' EXIT
  for _ in $(seq 50); do [ -S "$runtime/pulse/native" ] && break; sleep 0.1; done
  export PULSE_SERVER="unix:$runtime/pulse/native"
fi
echo "load: $(uptime)"
QT_QPA_PLATFORM=offscreen "$build/bin/tintreel-playback-bench" "$clip" "$seconds" || echo "the benchmark failed ($?)"
echo "load: $(uptime)"
exit 0
