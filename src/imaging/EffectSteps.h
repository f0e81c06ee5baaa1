#pragma once
// The effect catalogue: the 27 steps of the effect chain in their fixed
// order, each with its code, its name and progress phrase, when it runs on
// the still preview and in a movie render, and how the settings become a
// configured per-frame effect. Declared once; the still chain, the one-pass
// render and the per-effect passes read it.
//
// The table is constant data (any thread). A FrameEffect made from it is
// owned by its caller and used on one thread at a time.

#include <memory>
#include <span>
#include <string_view>

#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"
#include "platform/filters/PixelKernel.h"
#include "platform/filters/Transform3D.h"

namespace tintreel {

enum class EffectCode {
    Brightness = 1,
    Exposure,
    Contrast,
    Saturation,
    Gamma,
    Hue,
    RGB,
    BlackAndWhite,
    Sepia,
    Cartoon,
    OilPainting,
    Vignette,
    Pixellate,
    Halftone,
    Blur,
    CircleBlur,
    FocusBlur,
    MotionBlur,
    ZoomBlur,
    Transform3D,
    Swirl,
    GlassSphere,
    TextWatermark,
    ImageWatermark,
    Scale,
    Rotate,
    ColorTable,
};

// One configured effect applied to frame after frame: its filter is set up
// once when it is made. Watermark effects draw their overlay for the first
// frame size they see and reuse it while the size stays; `seconds`, the
// frame's time from the movie's first frame, decides how much of it shows.
class FrameEffect {
public:
    virtual ~FrameEffect() = default;
    virtual Image apply(const Image& frame, double seconds) = 0;
    // The same for a frame the caller gives up: a step that changes only a
    // part of the picture changes it where it lies instead of copying it.
    virtual Image applyToOwn(Image frame, double seconds) { return apply(frame, seconds); }
    // A step that changes each pixel from that pixel alone also gives its
    // work as a row kernel, which the chain runs beside its neighbours'.
    virtual const PixelKernel* pixelKernel() const { return nullptr; }
};

struct EffectStep {
    EffectCode code;
    std::string_view name;    // "Sepia", "Text Watermark": how a label lists the step
    std::string_view phrase;  // "Applying Sepia Effect... ": the per-effect pass's label
    // An adjustment runs on every still preview; in a movie render it runs
    // only when its value differs from neutral (exact float comparison).
    bool adjustment;
    // Adjustments: the value differs from neutral. Others: the box is ticked.
    bool (*enabled)(const EffectSettings&);
    // Configures the effect for frames shrunk by `pixelScale` from the size
    // the settings were made for (1 for full frames): every parameter
    // measured in pixels is multiplied by it, so a shrunk frame looks like
    // the full one shrunk. Parameters relative to the frame need nothing.
    std::unique_ptr<FrameEffect> (*makeAtScale)(const EffectSettings&, const Image& logo, double pixelScale);

    std::unique_ptr<FrameEffect> make(const EffectSettings& s, const Image& logo,
                                      double pixelScale = 1.0) const {
        return makeAtScale(s, logo, pixelScale);
    }

    bool runsOnStill(const EffectSettings& s) const { return adjustment || enabled(s); }
    bool runsOnMovie(const EffectSettings& s) const { return enabled(s); }
};

// The 27 steps in chain order: adjustments 1-7, colour table 27, effects
// 8-19, scale 25, rotate 26, matrix 20, swirl 21, glass sphere 22, text 23,
// image 24.
std::span<const EffectStep> effectSteps();

// The step with this code, or nothing for a value outside 1 ... 27.
const EffectStep* findEffectStep(EffectCode code);
// The step's phrase; "" for a value outside 1 ... 27.
std::string_view progressPhrase(EffectCode code);

// Value conversions, shared by both paths.
Transform3D scaleTransform(float percent);             // identity with m44 = 100 / percent (single precision)
Transform3D rotationTransform(float degrees);          // a = degrees * 3.1415925f / 180 in single precision
Transform3D matrixTransform(const EffectSettings& s);  // the sixteen steppers, widened
// The oil-painting slider truncated toward zero; negative or NaN gives 0 and
// values beyond the unsigned range give its largest value.
unsigned oilPaintingRadius(float value);
// A whole-pixel radius on a frame shrunk by `pixelScale`: rounded to the
// nearest, and never below 1 when the radius itself is not 0, so that a
// shrunk frame still shows the effect.
unsigned scaledRadius(unsigned radius, double pixelScale);
double percentToFraction(float percent);  // divided by 100 in single precision, then widened

}  // namespace tintreel
