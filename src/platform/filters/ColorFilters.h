#pragma once
// Colour filters: per-pixel adjustments of a straight-alpha RGBA8 picture.
// Each class keeps its parameters and applies them with one `apply`, or
// hands them out as a row kernel (`kernel`) for the effect chain to run
// beside its neighbours; alpha passes through unchanged.
//
// A filter object is a plain value: set it up on one thread, then `apply`
// may be called from any thread (it only reads the parameters). `apply`
// spreads the rows over oneTBB's workers. Every filter reports through
// `isIdentity` when its parameters leave the picture unchanged, and then
// `apply` returns an exact copy without touching the pixels.
//
// Colour math works on values in [0, 1] and clamps on the way out; a
// parameter that is not a finite number is ignored (the previous value stays).

#include "platform/filters/PixelKernel.h"

namespace tintreel {

class BrightnessFilter : public PerPixelFilter<BrightnessFilter> {
public:
    void setBrightness(double brightness);  // added to r, g, b; neutral 0
    bool isIdentity() const { return brightness_ == 0.0; }
    PixelKernel kernel() const;

private:
    double brightness_ = 0.0;
};

class ExposureFilter : public PerPixelFilter<ExposureFilter> {
public:
    void setExposure(double exposure);  // r, g, b times 2^exposure; neutral 0
    bool isIdentity() const { return exposure_ == 0.0; }
    PixelKernel kernel() const;

private:
    double exposure_ = 0.0;
};

class ContrastFilter : public PerPixelFilter<ContrastFilter> {
public:
    void setContrast(double contrast);  // (rgb - 0.5) * contrast + 0.5; neutral 1
    bool isIdentity() const { return contrast_ == 1.0; }
    PixelKernel kernel() const;

private:
    double contrast_ = 1.0;
};

class SaturationFilter : public PerPixelFilter<SaturationFilter> {
public:
    void setSaturation(double saturation);  // mix(luma, rgb, saturation); neutral 1
    bool isIdentity() const { return saturation_ == 1.0; }
    PixelKernel kernel() const;

private:
    double saturation_ = 1.0;
};

class GammaFilter : public PerPixelFilter<GammaFilter> {
public:
    void setGamma(double gamma);  // rgb ^ gamma; neutral 1
    bool isIdentity() const { return gamma_ == 1.0; }
    PixelKernel kernel() const;

private:
    double gamma_ = 1.0;
};

class HueFilter : public PerPixelFilter<HueFilter> {
public:
    // Turns the hue by this many degrees (a rotation of the YIQ chroma plane,
    // luma kept); neutral 0.
    void setHue(double degrees);
    bool isIdentity() const { return hue_ == 0.0; }
    PixelKernel kernel() const;

private:
    double hue_ = 0.0;
};

class RGBFilter : public PerPixelFilter<RGBFilter> {
public:
    void setRed(double gain);  // each channel times its gain; neutral 1
    void setGreen(double gain);
    void setBlue(double gain);
    bool isIdentity() const { return red_ == 1.0 && green_ == 1.0 && blue_ == 1.0; }
    PixelKernel kernel() const;

private:
    double red_ = 1.0;
    double green_ = 1.0;
    double blue_ = 1.0;
};

class GrayscaleFilter : public PerPixelFilter<GrayscaleFilter> {
public:
    bool isIdentity() const { return false; }
    PixelKernel kernel() const;  // luma in r, g and b
};

class SepiaFilter : public PerPixelFilter<SepiaFilter> {
public:
    // mix(rgb, sepia tone of rgb, intensity); 0 leaves the picture unchanged.
    void setIntensity(double intensity);
    bool isIdentity() const { return intensity_ == 0.0; }
    PixelKernel kernel() const;

private:
    double intensity_ = 0.0;
};

// The luma weights shared by every filter that needs a grey value.
inline constexpr double kLumaRed = 0.2125;
inline constexpr double kLumaGreen = 0.7154;
inline constexpr double kLumaBlue = 0.0721;

}  // namespace tintreel
