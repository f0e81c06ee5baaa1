#pragma once
// ImageTools: the still preview's effect chain, and how the settings become
// the two watermarks' drawing instructions.
//
// Stateless; callable from any thread (the watermarks need a
// QGuiApplication to exist for their fonts). The editor runs the chain on a
// worker and hands the result back to the GUI thread itself.

#include <optional>

#include "imaging/EffectSettings.h"
#include "imaging/ImageWatermark.h"
#include "imaging/TextWatermark.h"
#include "platform/filters/Image.h"

namespace tintreel {

// The text watermark's style as the settings give it (the named family, else
// the font list's family at the font index).
TextWatermarkStyle textWatermarkStyle(const EffectSettings& settings);
ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& settings);
// The same as drawn on a width x height frame, shrunk by `pixelScale` from
// the size the settings were made for (see WatermarkScale.h).
TextWatermarkStyle textWatermarkStyle(const EffectSettings& settings, int width, int height,
                                      double pixelScale = 1.0);
ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& settings, int width, int height,
                                                double pixelScale = 1.0);

enum class WatermarkKind { Text, Image };

// The switched-on watermark drawn at `point` (frame pixels, top-left origin)
// on a frame of `frameSize` whose picture watermark is `logoSize` pixels;
// where both cover the point, the picture, which is drawn over the text.
std::optional<WatermarkKind> watermarkAt(const EffectSettings& settings, QSize frameSize, QSizeF logoSize,
                                         QPointF point);

// The still preview: every step that runs on the still road, in order, each
// taking the previous step's output, for the frame shown `seconds` after
// the movie's first frame. The result always has the snapshot's size; a step
// that yields no picture of that size is passed over.
Image ApplyEffectChain(const EffectSettings& settings, const Image& snapshot, const Image& logo,
                       double seconds);

}  // namespace tintreel
