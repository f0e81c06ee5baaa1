#!/usr/bin/env bash
# Remakes docs/gallery.md: one picture per adjustment, effect, transform and
# watermark, each rendered by tintreel-render --still from the same generated
# test picture, with the control values that made it. Run it after changing
# a filter; it needs a build (bash scripts/build.sh) and the ffmpeg program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
render="${BUILD_DIR:-$root/build}/bin/tintreel-render"
out="$root/docs/gallery"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.jpg

# The test picture: a colourful fractal with smooth gradients and fine detail,
# and a small logo for the image watermark.
ffmpeg -v error -f lavfi -i "mandelbrot=s=480x270:start_scale=2.5:end_scale=2.5:inner=period" -frames:v 1 "$work/source.png"
ffmpeg -v error -f lavfi -i "testsrc2=s=96x96" -frames:v 1 "$work/logo.png"

# name | file | --set values (space separated)
entries=(
  "Original|original|"
  "Brightness|brightness|sliderBrightness=0.25"
  "Exposure|exposure|sliderExposure=-1"
  "Contrast|contrast|sliderContrast=1.8"
  "Saturation|saturation|sliderSaturation=0.2"
  "Gamma|gamma|sliderGamma=1.8"
  "Hue|hue|sliderHue=120"
  "Red, Green, Blue|rgb|sliderRed=1.4 sliderGreen=0.9 sliderBlue=0.6"
  "Black & White|black-white|checkBlackWhite=1"
  "Sepia|sepia|checkSepia=1 sliderSepiaIntensity=1"
  "Cartoon|cartoon|checkCartoon=1"
  "Oil Painting|oil-painting|checkOilPainting=1 sliderOilPaintingIntensity=4"
  "Vignette|vignette|checkVignette=1 sliderVignetteRadius=0.1"
  "Pixellate|pixellate|checkPixellate=1 sliderPixellatePixelSize=0.03"
  "Halftone|halftone|checkHalftone=1 sliderHalftoneDotSize=0.02"
  "Blur|blur|checkBlur=1 sliderBlurIntensity=4"
  "Circle Blur|circle-blur|checkCircleBlur=1"
  "Focus Blur|focus-blur|checkFocusBlur=1"
  "Motion Blur|motion-blur|checkMotionBlur=1 sliderMotionBlurAngle=30"
  "Zoom Blur|zoom-blur|checkZoomBlur=1 sliderZoomBlurIntensity=2"
  "Scale|scale|checkScale=1 stepperScale=60"
  "Rotate|rotate|checkRotate=1 sliderRotateAngle=20"
  "3D Transform|transform-3d|check3DTransform=1 stepper3DTransformM12=0.3 stepper3DTransformM14=0.4"
  "Swirl|swirl|checkSwirl=1 sliderSwirlAngle=1.5"
  "Glass Sphere|glass-sphere|checkGlassSphere=1 sliderGlassSphereRadius=0.35"
  "Text Watermark|text-watermark|checkTextWatermark=1 stepperTextFontSize=36 checkTextShadow=1"
  "Image Watermark|image-watermark|checkImageWatermark=1 stepperImageOpacity=90"
)

page="$root/docs/gallery.md"
{
  echo "# Gallery"
  echo
  echo "Every adjustment, effect, transform and watermark on the same generated test"
  echo "picture, rendered by \`tintreel-render --still\`. The values are the controls"
  echo "changed from their defaults; \`bash scripts/make-gallery.sh\` makes this page anew."
  echo
  echo "| | |"
  echo "|---|---|"
} >"$page"

cell=()
for entry in "${entries[@]}"; do
  IFS='|' read -r name file values <<<"$entry"
  args=(--still --overwrite --logo "$work/logo.png" -o "$work/$file.png")
  for value in $values; do args+=(--set "$value"); done
  "$render" "${args[@]}" "$work/source.png" >/dev/null
  ffmpeg -v error -y -i "$work/$file.png" -q:v 4 "$out/$file.jpg"
  shown="${values:-defaults}"
  cell+=("**$name**<br>\`${shown// /\` \`}\`<br>![$name](gallery/$file.jpg)")
  if ((${#cell[@]} == 2)); then
    echo "| ${cell[0]} | ${cell[1]} |" >>"$page"
    cell=()
  fi
done
((${#cell[@]} == 0)) || echo "| ${cell[0]} | |" >>"$page"
echo "wrote $page and $(ls "$out" | wc -l) pictures"
