#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Tintreel
# need. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # GUI and playback
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6multimediawidgets6
  libqt6svg6 qt6-qpa-plugins
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav gstreamer1.0-alsa gstreamer1.0-pulseaudio
  # media and the filter engine
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev libtbb-dev
  # measuring loudness (ITU-R BS.1770)
  libebur128-dev
  # colour tables: the reader of every common format, and its tools for the tests
  libopencolorio-dev opencolorio-tools
  # tests, benchmarks, fixtures
  libgtest-dev libgmock-dev googletest libbenchmark-dev ffmpeg
  # speech for the loudness fixtures
  espeak-ng
  # a private sound server whose null sink keeps a device's pace, for the
  # sound clock's test
  pulseaudio
  # counting how often a render opens its input
  strace
  # the batch recipes the tests and benchmarks run (GNU parallel)
  parallel
  # the fuzz targets (libFuzzer comes with clang's runtime libraries)
  clang-14 libclang-rt-14-dev
  # fonts for the text watermark and the interface
  fonts-dejavu-core fonts-liberation2 fonts-freefont-ttf fontconfig
  # the desktop files, man pages and the Debian package, and their validators
  help2man man-db desktop-file-utils appstream lintian dpkg-dev file
  # running the window without a display
  xvfb xauth x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
