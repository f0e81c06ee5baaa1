#!/usr/bin/env bash
# Remakes the application icon's PNG sizes from its SVG, for desktops and
# for the window itself. Run it after changing the SVG (needs rsvg-convert,
# Debian package librsvg2-bin); the PNGs are committed, so building does not.
set -euo pipefail
icons="$(cd "$(dirname "$0")/../resources/icons" && pwd)"
svg="$icons/org.tintreel.Tintreel.svg"
for size in 16 24 32 48 64 128 256; do
  folder="$icons/hicolor/${size}x${size}/apps"
  mkdir -p "$folder"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$folder/org.tintreel.Tintreel.png"
done
