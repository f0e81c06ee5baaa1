#include "settings/ControlCatalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imaging/FontFamilies.h"
#include "imaging/FrameGeometry.h"
#include "imaging/SoundSettings.h"
#include "imaging/WatermarkPosition.h"

namespace tintreel {
namespace {

using ES = EffectSettings;
using G = GroupId;
using T = SettingsTab;

constexpr std::string_view kDefaultWatermarkText = "\u00A9 Tintreel";
constexpr float kOffsetLimit = 10000.0f;
constexpr float kLongestTime = 86400.0f;  // a day, in seconds
constexpr float kLongestFade = 60.0f;

const std::array<GroupRow, 24> kGroups{{
    {G::Adjustments, "", "Colour adjustments, always applied", "", "buttonResetAdjustments", T::Adjustments},
    {G::BlackWhite, "Black & White", "Turns the picture into shades of grey", "checkBlackWhite", "",
     T::Effects},
    {G::Sepia, "Sepia", "Tones the picture brown like an old photograph", "checkSepia", "buttonResetSepia",
     T::Effects},
    {G::Cartoon, "Cartoon", "Flattens colours into bands with dark outlines", "checkCartoon",
     "buttonResetCartoon", T::Effects},
    {G::OilPainting, "Oil Painting", "Smooths areas into brush-like patches, keeping edges",
     "checkOilPainting", "buttonResetOilPainting", T::Effects},
    {G::Vignette, "Vignette", "Darkens the picture towards its corners", "checkVignette",
     "buttonResetVignette", T::Effects},
    {G::Pixellate, "Pixellate", "Shows the picture as large square cells", "checkPixellate",
     "buttonResetPixelate", T::Effects},
    {G::Halftone, "Halftone", "Prints the picture as black dots, as in a newspaper", "checkHalftone",
     "buttonResetHalftone", T::Effects},
    {G::Blur, "Blur", "Softens the whole picture", "checkBlur", "buttonResetBlur", T::Effects, true},
    {G::CircleBlur, "Circle Blur", "Blurs a circle in the middle of the picture", "checkCircleBlur",
     "buttonResetCircleBlur", T::Effects, true},
    {G::FocusBlur, "Focus Blur", "Keeps a circle in the middle sharp and blurs around it", "checkFocusBlur",
     "buttonResetFocusBlur", T::Effects, true},
    {G::MotionBlur, "Motion Blur", "Smears the picture along a direction, as if moving", "checkMotionBlur",
     "buttonResetMotionBlur", T::Effects, true},
    {G::ZoomBlur, "Zoom Blur", "Smears the picture towards its middle, as if zooming", "checkZoomBlur",
     "buttonResetZoomBlur", T::Effects, true},
    {G::Scale, "Scale", "Shows the picture larger or smaller about its middle", "checkScale",
     "buttonResetScale", T::Transform},
    {G::Rotate, "Rotate", "Turns the picture about its middle", "checkRotate", "buttonResetRotate",
     T::Transform},
    {G::Transform3D, "3D Transform (4x4 Matrix)", "Moves the picture's corners with a 4 x 4 matrix",
     "check3DTransform", "buttonReset3DTransform", T::Transform},
    {G::Swirl, "Swirl", "Twists the middle of the picture", "checkSwirl", "buttonResetSwirl", T::Transform},
    {G::GlassSphere, "Glass Sphere", "Shows the picture through a glass ball", "checkGlassSphere",
     "buttonResetGlassSphere", T::Transform},
    {G::TextWatermark, "Text Watermark", "Writes a line of text over the video", "checkTextWatermark",
     "buttonResetTextWatermark", T::TextWatermark},
    {G::ImageWatermark, "Image Watermark", "Lays a picture such as a logo over the video",
     "checkImageWatermark", "buttonResetImageWatermark", T::ImageWatermark, false, true},
    {G::Reframe, "Reframe", "Puts the picture on a canvas of another shape, such as 9:16 for phones", "",
     "buttonResetReframe", T::Transform, true},
    {G::Flip, "Flip", "Mirrors the picture", "", "", T::Transform},
    {G::ColorTable, "Color Table", "Maps every colour through a look-up table file", "checkColorTable", "",
     T::Adjustments},
    {G::Audio, "Sound", "Sets the sound's volume, fades and loudness", "", "buttonResetAudio", T::Audio, true},
}};

// Row builders: one call per control keeps the table below readable.
ControlRow row(std::string_view outlet, std::string_view textOutlet, ControlKind kind, G group,
                std::string_view label) {
    ControlRow s;
    s.outlet = outlet;
    s.textOutlet = textOutlet;
    s.kind = kind;
    s.group = group;
    s.label = label;
    return s;
}

// The units sliders are shown in.
constexpr SliderDisplay kPercent{100, "%", 0};
constexpr SliderDisplay kFinePercent{100, "%", 1};  // small fractions of the frame
constexpr SliderDisplay kDegrees{1, "°", 0};
constexpr SliderDisplay kPixels{1, " px", 1};
constexpr SliderDisplay kWholePixels{1, " px", 0};
constexpr SliderDisplay kStops{1, " EV", 2};
constexpr SliderDisplay kNumber{1, "", 2};
constexpr SliderDisplay kWholeNumber{1, "", 0};
constexpr SliderDisplay kDecibels{1, " dB", 1};

ControlRow slider(std::string_view outlet, G group, std::string_view label, float ES::*member,
                   float defaultValue, float minimum, float maximum, SliderDisplay display) {
    ControlRow s = row(outlet, {}, ControlKind::Slider, group, label);
    s.defaultValue = defaultValue;
    s.minimum = minimum;
    s.maximum = maximum;
    s.number = {member};
    s.display = display;
    return s;
}

ControlRow check(std::string_view outlet, G group, std::string_view label, int ES::*member) {
    ControlRow s = row(outlet, {}, ControlKind::Check, group, label);
    s.maximum = 1;
    s.state = member;
    return s;
}

ControlRow groupCheck(G group, int ES::*member) {
    const GroupRow& g = kGroups[static_cast<std::size_t>(group)];
    return check(g.checkOutlet, group, g.caption, member);
}

ControlRow pair(std::string_view stepper, std::string_view field, G group, std::string_view label,
                 float ES::*member, std::string ES::*text, float defaultValue, PairRule rule) {
    ControlRow s = row(stepper, field, ControlKind::Pair, group, label);
    s.defaultValue = defaultValue;
    s.minimum = rule.lowerBound;
    s.maximum = rule.upperBound;
    s.increment = 1;
    s.rule = rule;
    s.number = {member};
    s.text = {text};
    return s;
}

ControlRow popUp(std::string_view outlet, G group, std::string_view label, int ES::*member, int defaultIndex,
                  std::span<const std::string_view> items) {
    ControlRow s = row(outlet, {}, ControlKind::PopUp, group, label);
    s.defaultValue = static_cast<float>(defaultIndex);
    s.maximum = static_cast<float>(items.size() - 1);
    s.items = items;
    s.state = member;
    return s;
}

ControlRow text(std::string_view outlet, G group, std::string_view label, std::string ES::*member,
                 std::string_view defaultText) {
    ControlRow s = row(outlet, {}, ControlKind::Text, group, label);
    s.defaultText = defaultText;
    s.text = {member};
    return s;
}

ControlRow matrixCell(int cell) {
    static constexpr std::array<std::string_view, kMatrixCells> kSteppers{
        "stepper3DTransformM11", "stepper3DTransformM12", "stepper3DTransformM13", "stepper3DTransformM14",
        "stepper3DTransformM21", "stepper3DTransformM22", "stepper3DTransformM23", "stepper3DTransformM24",
        "stepper3DTransformM31", "stepper3DTransformM32", "stepper3DTransformM33", "stepper3DTransformM34",
        "stepper3DTransformM41", "stepper3DTransformM42", "stepper3DTransformM43", "stepper3DTransformM44"};
    static constexpr std::array<std::string_view, kMatrixCells> kFields{
        "textField3DTransformM11", "textField3DTransformM12", "textField3DTransformM13",
        "textField3DTransformM14", "textField3DTransformM21", "textField3DTransformM22",
        "textField3DTransformM23", "textField3DTransformM24", "textField3DTransformM31",
        "textField3DTransformM32", "textField3DTransformM33", "textField3DTransformM34",
        "textField3DTransformM41", "textField3DTransformM42", "textField3DTransformM43",
        "textField3DTransformM44"};
    const auto index = static_cast<std::size_t>(cell);
    ControlRow s = row(kSteppers[index], kFields[index], ControlKind::MatrixCell, G::Transform3D, {});
    s.defaultValue = (cell % 5 == 0) ? 1.0f : 0.0f;  // the identity's diagonal
    s.minimum = -100;
    s.maximum = 100;
    s.increment = 0.01f;
    s.number = {nullptr, cell};
    s.text = {nullptr, cell};
    return s;
}

PairRule clampOnly(float lower, float upper) {
    return {lower, lower, upper, upper, std::nullopt, false};
}
PairRule integerRule(float lower, float lowerWritten, float upper, float invalid) {
    return {lower, lowerWritten, upper, upper, invalid, true};
}
PairRule offsetRule() {
    return integerRule(-kOffsetLimit, -kOffsetLimit, kOffsetLimit, 0);
}

// A number of seconds, typed with decimals or stepped by half seconds.
ControlRow secondsPair(std::string_view stepper, std::string_view field, G group, std::string_view label,
                        float ES::*member, std::string ES::*text, float upper, std::string_view note) {
    ControlRow s = pair(stepper, field, group, label, member, text, 0, clampOnly(0, upper));
    s.increment = 0.5f;
    s.note = note;
    return s;
}

// The watermark controls that came after the record's extras.
ControlRow afterExtras(ControlRow s) {
    s.afterExtras = true;
    return s;
}

std::vector<ControlRow> watermarkScaleAndTiming(G group, std::string_view scale, int ES::*scaleMember,
                                                 std::array<std::string_view, 6> names,
                                                 std::array<float ES::*, 3> numbers,
                                                 std::array<std::string ES::*, 3> texts) {
    ControlRow scaleCheck = check(scale, group, "Scale with Video", scaleMember);
    scaleCheck.note =
        "Sizes and offsets are for a video 1080 pixels high (or wide, when portrait) and grow or "
        "shrink with the video.";
    return {
        afterExtras(scaleCheck),
        afterExtras(secondsPair(names[0], names[1], group, "Start (s)", numbers[0], texts[0], kLongestTime,
                                "Seconds from the first frame before it appears.")),
        afterExtras(secondsPair(names[2], names[3], group, "End (s)", numbers[1], texts[1], kLongestTime,
                                "Seconds from the first frame when it is gone; 0 keeps it to the end.")),
        afterExtras(secondsPair(names[4], names[5], group, "Fade (s)", numbers[2], texts[2], kLongestFade,
                                "Seconds it takes to fade in after the start, and out before the end (the movie's end when End is 0)."))};
}

// The frame's shape, added last of all: its lines follow every other line of the record.
std::vector<ControlRow> frameShapeRows() {
    ControlRow aspect =
        popUp("comboReframeAspect", G::Reframe, "Aspect", &ES::comboReframeAspect, 0, kReframeAspects);
    aspect.note = "Original keeps the frame's shape; the canvas keeps the frame's longer side.";
    ControlRow width = pair("stepperReframeWidth", "textFieldReframeWidth", G::Reframe, "Custom W",
                            &ES::stepperReframeWidth, &ES::textFieldReframeWidth, 16, clampOnly(1, 1000));
    width.note = "The width of a custom aspect W:H.";
    ControlRow height = pair("stepperReframeHeight", "textFieldReframeHeight", G::Reframe, "Custom H",
                             &ES::stepperReframeHeight, &ES::textFieldReframeHeight, 9, clampOnly(1, 1000));
    height.note = "The height of a custom aspect W:H.";
    ControlRow fill = popUp("comboReframeFill", G::Reframe, "Fill", &ES::comboReframeFill, 0, kReframeFills);
    fill.note = "Crop to fill cuts the frame to the canvas; the others show the whole frame.";
    ControlRow focusX =
        slider("sliderReframeFocusX", G::Reframe, "Focus X", &ES::sliderReframeFocusX, 0.5f, 0, 1, kPercent);
    focusX.note = "Crop to fill keeps this point of the frame in view (a drag on the preview moves it): 0 is the "
                  "left or top edge, 1 the right or bottom.";
    ControlRow focusY =
        slider("sliderReframeFocusY", G::Reframe, "Focus Y", &ES::sliderReframeFocusY, 0.5f, 0, 1, kPercent);
    focusY.note = focusX.note;
    ControlRow bars = row("colorWellReframeBars", {}, ControlKind::ColorWell, G::Reframe, "Bars");
    bars.color = &ES::colorWellReframeBars;
    bars.defaultColor = {0.0, 0.0, 0.0, 1.0};
    bars.note = "The colour around the frame when it is fitted with bars.";
    std::vector<ControlRow> rows{
        aspect,
        width,
        height,
        fill,
        focusX,
        focusY,
        bars,
        check("checkFlipHorizontal", G::Flip, "Flip Horizontal", &ES::checkFlipHorizontal),
        check("checkFlipVertical", G::Flip, "Flip Vertical", &ES::checkFlipVertical)};
    for (ControlRow& shape : rows) shape.afterExtras = true;
    return rows;
}

// The sound controls, added after the colour table: their lines come last.
std::vector<ControlRow> soundRows() {
    ControlRow volume = slider("sliderVolume", G::Audio, "Volume", &ES::sliderVolume, 0.0f, -30, 20, kDecibels);
    volume.note = "Raises or lowers every audio track by this many decibels.";
    ControlRow mute = check("checkMute", G::Audio, "Mute", &ES::checkMute);
    mute.note = "Writes silent tracks of the same length: players and sites expect a track.";
    ControlRow target = pair("stepperLoudnessTarget", "textFieldLoudnessTarget", G::Audio, "Custom (LUFS)",
                             &ES::stepperLoudnessTarget, &ES::textFieldLoudnessTarget, -14,
                             clampOnly(kQuietestTarget, kLoudestTarget));
    target.note = "The loudness the Custom choice brings the sound to, from -70 to -5 LUFS.";
    ControlRow ceiling = pair("stepperTruePeak", "textFieldTruePeak", G::Audio, "Ceiling (dBTP)",
                              &ES::stepperTruePeak, &ES::textFieldTruePeak, -1,
                              clampOnly(kLowestCeiling, kHighestCeiling));
    ceiling.increment = 0.5f;
    ceiling.note = "The true peak the normalising gain keeps under; a louder target is held back to it.";
    ControlRow loudness =
        popUp("comboLoudness", G::Audio, "Loudness", &ES::comboLoudness, 0, kLoudnessChoices);
    loudness.note = "Measures each track's integrated loudness (ITU-R BS.1770) and applies one gain that "
                    "brings it to the target; no compression.";
    std::vector<ControlRow> rows{
        volume,
        mute,
        secondsPair("stepperAudioFadeIn", "textFieldAudioFadeIn", G::Audio, "Fade In (s)",
                    &ES::stepperAudioFadeIn, &ES::textFieldAudioFadeIn, kLongestFade,
                    "Seconds the sound takes to rise from silence at the start."),
        secondsPair("stepperAudioFadeOut", "textFieldAudioFadeOut", G::Audio, "Fade Out (s)",
                    &ES::stepperAudioFadeOut, &ES::textFieldAudioFadeOut, kLongestFade,
                    "Seconds the sound takes to fall to silence at the end."),
        loudness,
        target,
        ceiling,
    };
    for (ControlRow& control : rows) control.afterExtras = true;
    return rows;
}

std::vector<ControlRow> buildCatalogue() {
    std::vector<ControlRow> rows{
        slider("sliderBrightness", G::Adjustments, "Brightness", &ES::sliderBrightness, 0.0f, -1, 1,
               kPercent),
        slider("sliderExposure", G::Adjustments, "Exposure", &ES::sliderExposure, 0.0f, -4, 4, kStops),
        slider("sliderContrast", G::Adjustments, "Contrast", &ES::sliderContrast, 1.0f, 0, 4, kPercent),
        slider("sliderSaturation", G::Adjustments, "Saturation", &ES::sliderSaturation, 1.0f, 0, 2, kPercent),
        slider("sliderGamma", G::Adjustments, "Gamma", &ES::sliderGamma, 1.0f, 0, 3, kNumber),
        slider("sliderHue", G::Adjustments, "Hue", &ES::sliderHue, 0.0f, -180, 180, kDegrees),
        slider("sliderRed", G::Adjustments, "Red", &ES::sliderRed, 1.0f, 0, 2, kPercent),
        slider("sliderGreen", G::Adjustments, "Green", &ES::sliderGreen, 1.0f, 0, 2, kPercent),
        slider("sliderBlue", G::Adjustments, "Blue", &ES::sliderBlue, 1.0f, 0, 2, kPercent),
        groupCheck(G::BlackWhite, &ES::checkBlackWhite),
        groupCheck(G::Sepia, &ES::checkSepia),
        slider("sliderSepiaIntensity", G::Sepia, "Intensity", &ES::sliderSepiaIntensity, 1.0f, 0, 1,
               kPercent),
        groupCheck(G::Cartoon, &ES::checkCartoon),
        slider("sliderCartoonBlur", G::Cartoon, "Blur", &ES::sliderCartoonBlur, 2.0f, 0, 10, kPixels),
        slider("sliderCartoonThreshold", G::Cartoon, "Threshold", &ES::sliderCartoonThreshold, 0.2f, 0, 1,
               kNumber),
        slider("sliderCartoonQuantization", G::Cartoon, "Levels", &ES::sliderCartoonQuantization, 10.0f, 2,
               50, kWholeNumber),
        groupCheck(G::OilPainting, &ES::checkOilPainting),
        slider("sliderOilPaintingIntensity", G::OilPainting, "Radius", &ES::sliderOilPaintingIntensity, 4.0f,
               0, 10, kWholePixels),
        groupCheck(G::Vignette, &ES::checkVignette),
        slider("sliderVignetteRadius", G::Vignette, "Radius", &ES::sliderVignetteRadius, 0.0f, -0.25f, 0.25f,
               kNumber),
        groupCheck(G::Pixellate, &ES::checkPixellate),
        slider("sliderPixellatePixelSize", G::Pixellate, "Pixel Size", &ES::sliderPixellatePixelSize, 0.02f,
               0, 0.2f, kFinePercent),
        groupCheck(G::Halftone, &ES::checkHalftone),
        slider("sliderHalftoneDotSize", G::Halftone, "Dot Size", &ES::sliderHalftoneDotSize, 0.02f, 0, 0.2f,
               kFinePercent),
        groupCheck(G::Blur, &ES::checkBlur),
        slider("sliderBlurIntensity", G::Blur, "Radius", &ES::sliderBlurIntensity, 3.0f, 0, 20, kPixels),
        groupCheck(G::CircleBlur, &ES::checkCircleBlur),
        slider("sliderCircleBlurIntensity", G::CircleBlur, "Blur", &ES::sliderCircleBlurIntensity, 3.0f, 0,
               10, kNumber),
        slider("sliderCircleBlurRadius", G::CircleBlur, "Radius", &ES::sliderCircleBlurRadius, 0.2f, 0, 1,
               kPercent),
        groupCheck(G::FocusBlur, &ES::checkFocusBlur),
        slider("sliderFocusBlurIntensity", G::FocusBlur, "Blur", &ES::sliderFocusBlurIntensity, 5.0f, 0, 20,
               kPixels),
        slider("sliderFocusBlurRadius", G::FocusBlur, "Radius", &ES::sliderFocusBlurRadius, 0.6f, 0, 1,
               kPercent),
        slider("sliderFocusBlurEdge", G::FocusBlur, "Edge", &ES::sliderFocusBlurEdge, 0.4f, 0, 1, kPercent),
        groupCheck(G::MotionBlur, &ES::checkMotionBlur),
        slider("sliderMotionBlurIntensity", G::MotionBlur, "Blur", &ES::sliderMotionBlurIntensity, 4.0f, 0,
               20, kPixels),
        slider("sliderMotionBlurAngle", G::MotionBlur, "Angle", &ES::sliderMotionBlurAngle, 0.0f, 0, 360,
               kDegrees),
        groupCheck(G::ZoomBlur, &ES::checkZoomBlur),
        slider("sliderZoomBlurIntensity", G::ZoomBlur, "Blur", &ES::sliderZoomBlurIntensity, 1.0f, 0, 5,
               kNumber),
        groupCheck(G::Scale, &ES::checkScale),
        pair("stepperScale", "textFieldScale", G::Scale, "Scale (%)", &ES::stepperScale, &ES::textFieldScale,
             100, clampOnly(1, 999)),
        groupCheck(G::Rotate, &ES::checkRotate),
        slider("sliderRotateAngle", G::Rotate, "Angle", &ES::sliderRotateAngle, 0.0f, -180, 180, kDegrees),
        groupCheck(G::Transform3D, &ES::check3DTransform),
    };
    for (int cell = 0; cell < kMatrixCells; ++cell) rows.push_back(matrixCell(cell));
    const std::vector<ControlRow> tail{
        groupCheck(G::Swirl, &ES::checkSwirl),
        slider("sliderSwirlRadius", G::Swirl, "Radius", &ES::sliderSwirlRadius, 0.5f, 0, 1, kPercent),
        slider("sliderSwirlAngle", G::Swirl, "Angle", &ES::sliderSwirlAngle, 1.0f, -5, 5, kNumber),
        groupCheck(G::GlassSphere, &ES::checkGlassSphere),
        slider("sliderGlassSphereRadius", G::GlassSphere, "Radius", &ES::sliderGlassSphereRadius, 0.25f, 0, 1,
               kPercent),
        slider("sliderGlassSphereRefraction", G::GlassSphere, "Refraction", &ES::sliderGlassSphereRefraction,
               0.71f, 0, 2, kNumber),
        groupCheck(G::TextWatermark, &ES::checkTextWatermark),
        text("textFieldText", G::TextWatermark, "Text", &ES::textFieldText, kDefaultWatermarkText),
        [] {
            ControlRow s = row("colorWellTextColor", {}, ControlKind::ColorWell, G::TextWatermark, "Color");
            s.color = &ES::colorWellTextColor;
            s.defaultColor = {1.0, 1.0, 1.0, 1.0};
            return s;
        }(),
        [] {
            ControlRow s = popUp("comboTextFontType", G::TextWatermark, "Font", &ES::comboTextFontType, 12,
                                  kFontFamilies);
            s.kind = ControlKind::FontPopUp;
            s.text = {&ES::textFontFamily};
            return s;
        }(),
        pair("stepperTextFontSize", "textFieldTextFontSize", G::TextWatermark, "Size",
             &ES::stepperTextFontSize, &ES::textFieldTextFontSize, 80, integerRule(0, 0, 500, 0)),
        pair("stepperTextOpacity", "textFieldTextOpacity", G::TextWatermark, "Opacity (%)",
             &ES::stepperTextOpacity, &ES::textFieldTextOpacity, 70, integerRule(0, 1, 100, 1)),
        check("checkTextShadow", G::TextWatermark, "Shadow", &ES::checkTextShadow),
        popUp("comboTextPosition", G::TextWatermark, "Position", &ES::comboTextPosition, 0,
              kWatermarkPositions),
        check("checkTextStroke", G::TextWatermark, "Stroke", &ES::checkTextStroke),
        pair("stepperTextXOffset", "textFieldTextXOffset", G::TextWatermark, "X Offset",
             &ES::stepperTextXOffset, &ES::textFieldTextXOffset, 0, offsetRule()),
        pair("stepperTextYOffset", "textFieldTextYOffset", G::TextWatermark, "Y Offset",
             &ES::stepperTextYOffset, &ES::textFieldTextYOffset, 0, offsetRule()),
    };
    rows.insert(rows.end(), tail.begin(), tail.end());
    const std::vector<ControlRow> textTiming =
        watermarkScaleAndTiming(G::TextWatermark, "checkTextScaleWithVideo", &ES::checkTextScaleWithVideo,
                                {"stepperTextStart", "textFieldTextStart", "stepperTextEnd",
                                 "textFieldTextEnd", "stepperTextFade", "textFieldTextFade"},
                                {&ES::stepperTextStart, &ES::stepperTextEnd, &ES::stepperTextFade},
                                {&ES::textFieldTextStart, &ES::textFieldTextEnd, &ES::textFieldTextFade});
    rows.insert(rows.end(), textTiming.begin(), textTiming.end());
    const std::vector<ControlRow> image{
        groupCheck(G::ImageWatermark, &ES::checkImageWatermark),
        text("textFieldImage", G::ImageWatermark, "Picture", &ES::textFieldImage, ""),
        row("buttonSelectImage", {}, ControlKind::Button, G::ImageWatermark, "Choose Picture..."),
        pair("stepperImageScale", "textFieldImageScale", G::ImageWatermark, "Scale (%)",
             &ES::stepperImageScale, &ES::textFieldImageScale, 100, integerRule(1, 1, 1000, 1)),
        pair("stepperImageOpacity", "textFieldImageOpacity", G::ImageWatermark, "Opacity (%)",
             &ES::stepperImageOpacity, &ES::textFieldImageOpacity, 70, integerRule(0, 0, 100, 0)),
        popUp("comboImagePosition", G::ImageWatermark, "Position", &ES::comboImagePosition, 1,
              kWatermarkPositions),
        pair("stepperImageXOffset", "textFieldImageXOffset", G::ImageWatermark, "X Offset",
             &ES::stepperImageXOffset, &ES::textFieldImageXOffset, 0, offsetRule()),
        pair("stepperImageYOffset", "textFieldImageYOffset", G::ImageWatermark, "Y Offset",
             &ES::stepperImageYOffset, &ES::textFieldImageYOffset, 0, offsetRule()),
    };
    rows.insert(rows.end(), image.begin(), image.end());
    const std::vector<ControlRow> imageTiming =
        watermarkScaleAndTiming(G::ImageWatermark, "checkImageScaleWithVideo", &ES::checkImageScaleWithVideo,
                                {"stepperImageStart", "textFieldImageStart", "stepperImageEnd",
                                 "textFieldImageEnd", "stepperImageFade", "textFieldImageFade"},
                                {&ES::stepperImageStart, &ES::stepperImageEnd, &ES::stepperImageFade},
                                {&ES::textFieldImageStart, &ES::textFieldImageEnd, &ES::textFieldImageFade});
    rows.insert(rows.end(), imageTiming.begin(), imageTiming.end());
    const std::vector<ControlRow> shape = frameShapeRows();
    rows.insert(rows.end(), shape.begin(), shape.end());
    const std::vector<ControlRow> colorTable{
        afterExtras(groupCheck(G::ColorTable, &ES::checkColorTable)),
        afterExtras(text("textFieldColorTable", G::ColorTable, "Table File", &ES::textFieldColorTable, "")),
        afterExtras(row("buttonSelectColorTable", {}, ControlKind::Button, G::ColorTable, "Choose Table...")),
        afterExtras(row("buttonClearColorTable", {}, ControlKind::Button, G::ColorTable, "Clear Table")),
        afterExtras(slider("sliderColorTableStrength", G::ColorTable, "Strength",
                           &ES::sliderColorTableStrength, 1.0f, 0, 1, kPercent)),
    };
    rows.insert(rows.end(), colorTable.begin(), colorTable.end());
    const std::vector<ControlRow> sound = soundRows();
    rows.insert(rows.end(), sound.begin(), sound.end());
    return rows;
}

void setDefault(const ControlRow& control, EffectSettings& s) {
    switch (control.kind) {
        case ControlKind::Slider:
            control.number.of(s) = control.defaultValue;
            break;
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            control.number.of(s) = control.defaultValue;
            control.text.of(s) = pairText(control, control.defaultValue);
            break;
        case ControlKind::Check:
        case ControlKind::PopUp:
            s.*control.state = static_cast<int>(control.defaultValue);
            break;
        case ControlKind::FontPopUp:
            s.*control.state = static_cast<int>(control.defaultValue);
            control.text.of(s).clear();
            break;
        case ControlKind::Text:
            control.text.of(s) = std::string(control.defaultText);
            break;
        case ControlKind::ColorWell:
            s.*control.color = control.defaultColor;
            break;
        case ControlKind::Button:
            break;
    }
}

bool isAtDefault(const ControlRow& control, const EffectSettings& s) {
    switch (control.kind) {
        case ControlKind::Slider:
            return control.number.of(s) == control.defaultValue;
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            return control.number.of(s) == control.defaultValue &&
                   control.text.of(s) == pairText(control, control.defaultValue);
        case ControlKind::Check:
        case ControlKind::PopUp:
            return s.*control.state == static_cast<int>(control.defaultValue);
        case ControlKind::FontPopUp:
            return s.*control.state == static_cast<int>(control.defaultValue) && control.text.of(s).empty();
        case ControlKind::Text:
            return control.text.of(s) == control.defaultText;
        case ControlKind::ColorWell:
            return s.*control.color == control.defaultColor;
        case ControlKind::Button:
            return true;
    }
    return true;
}

bool isGroupCheck(const ControlRow& control) {
    return control.outlet == groupSpec(control.group).checkOutlet;
}

}  // namespace

std::span<const GroupRow> controlGroups() {
    return kGroups;
}

std::span<const ControlRow> controlCatalogue() {
    static const std::vector<ControlRow> catalogue = buildCatalogue();
    return catalogue;
}

const GroupRow& groupSpec(GroupId id) {
    return kGroups[static_cast<std::size_t>(id)];
}

const ControlRow* findControl(std::string_view name) {
    for (const ControlRow& control : controlCatalogue())
        if (control.outlet == name || (!control.textOutlet.empty() && control.textOutlet == name))
            return &control;
    return nullptr;
}

int groupState(const EffectSettings& settings, GroupId id) {
    const GroupRow& group = groupSpec(id);
    if (group.checkOutlet.empty()) return 1;
    return settings.*(findControl(group.checkOutlet)->state);
}

void resetControl(EffectSettings& settings, const ControlRow& control) {
    setDefault(control, settings);
}

EffectSettings defaultEffectSettings() {
    EffectSettings settings;
    for (const ControlRow& control : controlCatalogue()) setDefault(control, settings);
    return settings;
}

void resetGroup(EffectSettings& settings, GroupId id) {
    for (const ControlRow& control : controlCatalogue())
        if (control.group == id && !isGroupCheck(control)) setDefault(control, settings);
}

bool groupIsAtDefault(const EffectSettings& settings, GroupId id) {
    return std::ranges::all_of(controlCatalogue(), [&](const ControlRow& control) {
        return control.group != id || isGroupCheck(control) || isAtDefault(control, settings);
    });
}

std::string formatFieldNumber(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7g", static_cast<double>(value));
    return buffer;
}

std::string FloatToFormattedString(float value) {
    if (value > -0.001f && value < 0.001f) return "0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
    return buffer;
}

std::string pairText(const ControlRow& control, float value) {
    return control.kind == ControlKind::MatrixCell ? FloatToFormattedString(value) : formatFieldNumber(value);
}

std::string GetTextFontTypeWithFontType(int index) {
    return std::string(fontFamilyName(index));
}

void chooseFontFamily(const ControlRow& control, EffectSettings& settings, const std::string& family) {
    const int index = fontFamilyIndex(family);
    if (index >= 0) settings.*control.state = index;
    control.text.of(settings) = index >= 0 ? std::string() : family;
}

std::vector<std::string_view> interfaceSwitchedControls() {
    std::vector<std::string_view> names{"buttonZoomIn",      "buttonZoomOut",   "buttonResetZoom",
                                        "buttonSelectVideo", "buttonSaveVideo", "stepperBrowseFrames"};
    for (const ControlRow& control : controlCatalogue()) {
        if (control.kind == ControlKind::Pair) names.push_back(control.textOutlet);
        names.push_back(control.outlet);
    }
    for (const GroupRow& group : controlGroups())
        if (!group.resetOutlet.empty()) names.push_back(group.resetOutlet);
    return names;
}

}  // namespace tintreel
