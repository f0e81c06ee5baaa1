#pragma once
// FrameGeometry: the shape of every frame before any effect runs. First the
// crop (a rectangle of the upright picture, chosen per video), then the
// mirroring, then the reframe onto a canvas of another aspect. Effects and
// watermarks then work on that canvas, so a watermark placed in a corner
// sits in the corner of the finished clip, whatever its shape.
//
// The canvas: with an aspect chosen, its longer side is the (cropped)
// frame's longer side and the other side follows the aspect, both rounded to
// even; so a 1920x1080 clip reframed to 9:16 becomes 1080x1920, and a batch
// of landscape and portrait clips of one resolution comes out at one size.
// An output box (a preset's size) then gives the largest canvas of that
// aspect inside the box, scaling up as needed: the box itself when the
// aspects agree.
// Three fills:
// - crop to fill: the largest part of the frame with the canvas's aspect,
//   placed so that the focus point is as near its middle as the frame allows;
// - fit on a blurred copy: the frame scaled to cover the canvas, blurred and
//   darkened, with the whole frame fitted on top, centred;
// - fit with bars: the whole frame fitted, centred, on a plain colour.
//
// Built once per render or refresh; `apply` is const and keeps no state, so
// one geometry may serve one thread at a time or several.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/EffectSettings.h"
#include "imaging/EffectSteps.h"
#include "platform/filters/Image.h"
#include "platform/filters/Resample.h"
#include "platform/media/RenderSettings.h"

namespace tintreel {

enum class ReframeFill { Crop, Blur, Bars };

inline constexpr std::array<std::string_view, 8> kReframeAspects = {
    "Original", "16:9", "9:16", "1:1", "4:5", "4:3", "21:9", "Custom",
};
inline constexpr int kCustomAspect = 7;
inline constexpr std::array<std::string_view, 3> kReframeFills = {
    "Crop to Fill",
    "Fit on Blurred Copy",
    "Fit with Bars",
};

struct FrameSize {
    int width = 0, height = 0;
    bool operator==(const FrameSize&) const = default;
};

struct ShapeChoice {
    std::optional<PixelRect> crop;  // in pixels of the upright picture
    double aspect = 0;              // the canvas's width / height; 0 keeps the frame's shape
    ReframeFill fill = ReframeFill::Crop;
    double focusX = 0.5, focusY = 0.5;  // fractions of the frame, 0 ... 1
    std::array<std::uint8_t, 3> bars{0, 0, 0};
    bool flipHorizontal = false, flipVertical = false;
    std::optional<FrameSize> outputBox;  // the size a preset asks for
    bool operator==(const ShapeChoice&) const = default;
};

// The aspect the settings choose (width / height); 0 for the frame's own.
double chosenAspect(const EffectSettings& settings);

// The look's part of the geometry: aspect, fill, focus, bars and mirroring.
ShapeChoice lookGeometry(const EffectSettings& settings);

// The geometry a render of the look makes: the look's part, the video's
// crop, and a preset's: its aspect unless the look chose one, and its size
// as the box unless a height was asked.
ShapeChoice renderGeometry(const EffectSettings& settings, const std::optional<PixelRect>& crop,
                           const RenderSettings& render);

// The largest even size of `aspect` that fits in `box` (the box itself when
// the aspect is 0 or already the box's).
FrameSize fitAspectInside(FrameSize box, double aspect);

// Chooses the fixed aspect of kReframeAspects that a width x height picture
// has; false, leaving the settings alone, when it has none of them.
bool chooseFixedAspect(EffectSettings& settings, int width, int height);

class FrameGeometry {
public:
    // `pixelScale`: frames arrive shrunk by it from the size the shape speaks
    // of (playback at half size passes 0.5); the crop and the box follow.
    explicit FrameGeometry(ShapeChoice shape, double pixelScale = 1.0);

    // True when frames pass through unchanged.
    bool isIdentity() const;
    // The size of what `apply` makes of an upright frame of `frame` size.
    FrameSize outputSize(FrameSize frame) const;
    // Why a frame of `frame` size cannot take the crop, or nothing.
    std::optional<std::string> cropProblem(FrameSize frame) const;
    // The frame reshaped. A crop that does not fit the frame is left out.
    Image apply(const Image& upright) const;

private:
    Image reframe(const Image& frame, FrameSize canvas) const;
    Image fitOnBlur(const Image& frame, FrameSize canvas) const;

    ShapeChoice shape_;
};

// The geometry, then `effect`, on each frame: how playback shapes a frame
// before the look's steps, as a render does.
class ShapedEffect : public FrameEffect {
public:
    ShapedEffect(FrameGeometry geometry, std::unique_ptr<FrameEffect> effect)
        : geometry_(std::move(geometry)), effect_(std::move(effect)) {}
    Image apply(const Image& frame, double seconds) override {
        return geometry_.isIdentity() ? effect_->apply(frame, seconds)
                                      : effect_->apply(geometry_.apply(frame), seconds);
    }

private:
    FrameGeometry geometry_;
    std::unique_ptr<FrameEffect> effect_;
};

// The rectangle as --crop takes it: "W:H:X:Y".
std::string describeCrop(const PixelRect& rect);

}  // namespace tintreel
