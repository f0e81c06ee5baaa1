#include "imaging/FrameGeometry.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/filters/BlurFilters.h"

namespace tintreel {
namespace {

// The fixed aspects of kReframeAspects, width : height (Original and Custom have none).
constexpr std::array<std::array<int, 2>, 8> kAspectRatios{{
    {0, 0},
    {16, 9},
    {9, 16},
    {1, 1},
    {4, 5},
    {4, 3},
    {21, 9},
    {0, 0},
}};

// The blurred copy is made at an eighth of the canvas's size (the blur hides
// the detail lost) with a blur of 4 % of its longer side, and darkened so the
// fitted frame stands out.
constexpr int kBlurShrink = 8;
constexpr double kBlurSpread = 0.04;
constexpr float kBlurDarkening = 0.6f;

int evenAtLeastTwo(double value) {
    return std::max(2, 2 * static_cast<int>(std::lround(value / 2)));
}

std::uint8_t colourByte(double component) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
}

// The largest rectangle of `aspect` inside a frame of `size`, placed so that
// the focus point is as near its middle as the frame allows.
PixelRect windowOf(FrameSize size, double aspect, double focusX, double focusY) {
    const double frameAspect = static_cast<double>(size.width) / size.height;
    const int width = frameAspect > aspect
                          ? std::clamp(static_cast<int>(std::lround(size.height * aspect)), 1, size.width)
                          : size.width;
    const int height = frameAspect > aspect
                           ? size.height
                           : std::clamp(static_cast<int>(std::lround(size.width / aspect)), 1, size.height);
    const auto place = [](double focus, int whole, int part) {
        return std::clamp(static_cast<int>(std::lround(focus * whole - part / 2.0)), 0, whole - part);
    };
    return {place(focusX, size.width, width), place(focusY, size.height, height), width, height};
}

// The size of the whole frame fitted inside the canvas, keeping its aspect.
FrameSize fittedSize(FrameSize frame, FrameSize canvas) {
    const double scale = std::min(static_cast<double>(canvas.width) / frame.width,
                                  static_cast<double>(canvas.height) / frame.height);
    return {std::clamp(static_cast<int>(std::lround(frame.width * scale)), 1, canvas.width),
            std::clamp(static_cast<int>(std::lround(frame.height * scale)), 1, canvas.height)};
}

FrameSize sizeOf(const Image& image) {
    return {image.width(), image.height()};
}

// The whole frame resampled to `fit` and laid in the middle of `canvas`.
void layCentred(Image& canvas, const Image& frame, FrameSize fit) {
    const Image scaled = resampled(frame, {0, 0, frame.width(), frame.height()}, fit.width, fit.height);
    paste(canvas, scaled, (canvas.width() - fit.width) / 2, (canvas.height() - fit.height) / 2);
}

}  // namespace

double chosenAspect(const EffectSettings& settings) {
    const int index = settings.comboReframeAspect;
    if (index == kCustomAspect) {
        const double width = settings.stepperReframeWidth, height = settings.stepperReframeHeight;
        return width > 0 && height > 0 ? width / height : 0.0;
    }
    if (index <= 0 || index >= static_cast<int>(kAspectRatios.size())) return 0.0;
    const auto& ratio = kAspectRatios[static_cast<std::size_t>(index)];
    return static_cast<double>(ratio[0]) / ratio[1];
}

ShapeChoice lookGeometry(const EffectSettings& settings) {
    ShapeChoice shape;
    shape.aspect = chosenAspect(settings);
    shape.fill = static_cast<ReframeFill>(std::clamp(settings.comboReframeFill, 0, 2));
    shape.focusX = std::clamp<double>(settings.sliderReframeFocusX, 0.0, 1.0);
    shape.focusY = std::clamp<double>(settings.sliderReframeFocusY, 0.0, 1.0);
    const RgbColor& bars = settings.colorWellReframeBars;
    shape.bars = {colourByte(bars.red), colourByte(bars.green), colourByte(bars.blue)};
    shape.flipHorizontal = settings.checkFlipHorizontal != 0;
    shape.flipVertical = settings.checkFlipVertical != 0;
    return shape;
}

ShapeChoice renderGeometry(const EffectSettings& settings, const std::optional<PixelRect>& crop,
                           const RenderSettings& render) {
    ShapeChoice shape = lookGeometry(settings);
    shape.crop = crop;
    if (render.preset && render.maxHeight == 0)
        shape.outputBox = FrameSize{render.preset->width, render.preset->height};
    return shape;
}

FrameSize fitAspectInside(FrameSize box, double aspect) {
    if (!(aspect > 0)) return box;
    const double boxAspect = static_cast<double>(box.width) / box.height;
    if (std::abs(boxAspect - aspect) < 1e-9) return box;
    if (boxAspect > aspect) return {std::min(box.width, evenAtLeastTwo(box.height * aspect)), box.height};
    return {box.width, std::min(box.height, evenAtLeastTwo(box.width / aspect))};
}

bool chooseFixedAspect(EffectSettings& settings, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    const int divisor = std::gcd(width, height);
    for (std::size_t i = 0; i < kAspectRatios.size(); ++i) {
        if (kAspectRatios[i][1] == 0 || kAspectRatios[i][0] != width / divisor ||
            kAspectRatios[i][1] != height / divisor)
            continue;
        settings.comboReframeAspect = static_cast<int>(i);
        return true;
    }
    return false;
}

FrameGeometry::FrameGeometry(ShapeChoice shape, double pixelScale) : shape_(std::move(shape)) {
    const double scale = pixelScale > 0 && std::isfinite(pixelScale) ? pixelScale : 1.0;
    if (scale == 1.0) return;
    const auto shrink = [scale](int value) { return static_cast<int>(std::lround(value * scale)); };
    if (shape_.crop) {
        PixelRect& c = *shape_.crop;
        c = {shrink(c.x), shrink(c.y), std::max(1, shrink(c.width)), std::max(1, shrink(c.height))};
    }
    if (shape_.outputBox)
        shape_.outputBox = FrameSize{std::max(2, shrink(shape_.outputBox->width)),
                                     std::max(2, shrink(shape_.outputBox->height))};
}

bool FrameGeometry::isIdentity() const {
    return !shape_.crop && !shape_.flipHorizontal && !shape_.flipVertical && !(shape_.aspect > 0) &&
           !shape_.outputBox;
}

FrameSize FrameGeometry::outputSize(FrameSize frame) const {
    if (shape_.crop && fitsInside(*shape_.crop, frame.width, frame.height))
        frame = {shape_.crop->width, shape_.crop->height};
    if (shape_.outputBox)
        return fitAspectInside(*shape_.outputBox, shape_.aspect > 0
                                                      ? shape_.aspect
                                                      : static_cast<double>(frame.width) / frame.height);
    if (!(shape_.aspect > 0)) return frame;
    const int longer = std::max(frame.width, frame.height);
    if (shape_.aspect >= 1) return {evenAtLeastTwo(longer), evenAtLeastTwo(longer / shape_.aspect)};
    return {evenAtLeastTwo(longer * shape_.aspect), evenAtLeastTwo(longer)};
}

std::optional<std::string> FrameGeometry::cropProblem(FrameSize frame) const {
    if (!shape_.crop || fitsInside(*shape_.crop, frame.width, frame.height)) return std::nullopt;
    return "the crop " + describeCrop(*shape_.crop) + " does not fit the " + std::to_string(frame.width) +
           "x" + std::to_string(frame.height) + " frame";
}

Image FrameGeometry::apply(const Image& upright) const {
    if (isIdentity() || upright.isEmpty()) return upright;
    Image frame = shape_.crop && fitsInside(*shape_.crop, upright.width(), upright.height())
                      ? cropped(upright, *shape_.crop)
                      : upright;
    frame = flipped(frame, shape_.flipHorizontal, shape_.flipVertical);
    const FrameSize canvas = outputSize(sizeOf(frame));
    if (canvas == sizeOf(frame)) return frame;
    return reframe(frame, canvas);
}

Image FrameGeometry::reframe(const Image& frame, FrameSize canvas) const {
    const double canvasAspect = static_cast<double>(canvas.width) / canvas.height;
    switch (shape_.fill) {
        case ReframeFill::Crop:
            return resampled(frame, windowOf(sizeOf(frame), canvasAspect, shape_.focusX, shape_.focusY),
                             canvas.width, canvas.height);
        case ReframeFill::Blur:
            return fitOnBlur(frame, canvas);
        case ReframeFill::Bars: {
            Image out = filled(canvas.width, canvas.height, shape_.bars);
            layCentred(out, frame, fittedSize(sizeOf(frame), canvas));
            return out;
        }
    }
    return frame;
}

Image FrameGeometry::fitOnBlur(const Image& frame, FrameSize canvas) const {
    const double canvasAspect = static_cast<double>(canvas.width) / canvas.height;
    const FrameSize small{std::max(1, canvas.width / kBlurShrink), std::max(1, canvas.height / kBlurShrink)};
    Image backdrop =
        resampled(frame, windowOf(sizeOf(frame), canvasAspect, 0.5, 0.5), small.width, small.height);
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(kBlurSpread * std::max(small.width, small.height));
    backdrop = blur.apply(backdrop);
    darken(backdrop, kBlurDarkening);
    Image out = resampled(backdrop, {0, 0, small.width, small.height}, canvas.width, canvas.height);
    layCentred(out, frame, fittedSize(sizeOf(frame), canvas));
    return out;
}

std::string describeCrop(const PixelRect& rect) {
    return std::to_string(rect.width) + ":" + std::to_string(rect.height) + ":" + std::to_string(rect.x) +
           ":" + std::to_string(rect.y);
}

}  // namespace tintreel
