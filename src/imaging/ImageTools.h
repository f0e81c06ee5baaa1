#pragma once
// ImageTools: the effect chain's operations on a still picture, one per
// catalogue row, each taking the input picture first and returning a new
// picture of the same size; and ApplyEffectChain, the whole chain.
//
// Stateless; callable from any thread (the watermark operations need a
// QGuiApplication to exist for their fonts). The editor runs the chain on a
// worker and hands the result back to the GUI thread itself.

#include "imaging/EffectSettings.h"
#include "imaging/ImageWatermark.h"
#include "imaging/TextWatermark.h"
#include "platform/filters/Image.h"
#include "platform/filters/Transform3D.h"

namespace tintreel {

class ImageTools {
public:
    static Image ApplyBrightness(const Image& image, float brightness);
    static Image ApplyExposure(const Image& image, float exposure);
    static Image ApplyContrast(const Image& image, float contrast);
    static Image ApplySaturation(const Image& image, float saturation);
    static Image ApplyGamma(const Image& image, float gamma);
    static Image ApplyHue(const Image& image, float hue);
    static Image ApplyRGB(const Image& image, float red, float green, float blue);
    static Image ApplyBlackAndWhite(const Image& image);
    static Image ApplySepia(const Image& image, float intensity);
    static Image ApplyCartoon(const Image& image, float blurRadius, float threshold, float levels);
    static Image ApplyOilPainting(const Image& image, unsigned radius);
    static Image ApplyVignette(const Image& image, float radius);  // start 0.5 + r, end r + 0.75
    static Image ApplyPixellate(const Image& image, float pixelSize);
    static Image ApplyHalftone(const Image& image, float dotSize);
    static Image ApplyBlur(const Image& image, float intensity);
    static Image ApplyCircleBlur(const Image& image, float blurSize, float blurRadius);
    static Image ApplyFocusBlur(const Image& image, float blurRadius, float circleRadius, float edgeSize);
    static Image ApplyMotionBlur(const Image& image, float blurSize, float angle);
    static Image ApplyZoomBlur(const Image& image, float blurSize);
    static Image ApplyTransform3D(const Image& image, const Transform3D& transform);
    static Image ApplySwirl(const Image& image, float radius, float angle);
    static Image ApplyGlassSphere(const Image& image, float radius, float refractiveIndex);
    static Image ApplyTextWatermark(const Image& image, const TextWatermarkStyle& style, double mix);
    static Image ApplyImageWatermark(const Image& image, const Image& picture,
                                     const ImageWatermarkPlacement& placement, double mix);
    // The two-input blend of both watermarks: overlay over base at this mix.
    static Image Blend(const Image& base, const Image& overlay, double mix);
};

// The text watermark's style as the settings give it (font name from the index).
TextWatermarkStyle textWatermarkStyle(const EffectSettings& settings);
ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& settings);

// The still preview: every step that runs on the still path, in order, each
// taking the previous step's output. The result always has the snapshot's
// size; a step that yields no picture of that size is passed over.
Image ApplyEffectChain(const EffectSettings& settings, const Image& snapshot, const Image& logo);

}  // namespace tintreel
