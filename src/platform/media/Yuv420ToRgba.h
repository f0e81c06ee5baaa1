#pragma once
// Internal to the media layer: our own conversion of 8-bit 4:2:0 pictures,
// what nearly every camera and encoder writes, to RGBA. It computes what
// the library's converter does with the settings we give it (chroma sited
// at the centre of its four pixels, interpolated down the picture by the
// same cubic, repeated across pixel pairs; the same colour matrix), in a
// few vector instructions a pixel: several times less CPU than the
// library's exact-rounding path, which decoding would otherwise spend on
// every frame. Any thread; the rows are converted on the worker threads.

#include <optional>

#include "platform/filters/Image.h"
#include "platform/media/ColourDescription.h"
#include "platform/media/FfmpegHandles.h"

namespace tintreel::media {

// Whether `frame` is a picture this converter takes: 8-bit planar 4:2:0.
bool isYuv420(const AVFrame& frame);

// The picture of a 4:2:0 `frame`, opaque, with `matrix` (decodingMatrix()).
Image yuv420ToRgba(const AVFrame& frame, const YuvToRgb& matrix);

}  // namespace tintreel::media
