#pragma once
// EffectSettings: every value the user can tune, read from the window's
// controls at one moment on the GUI thread and then passed around by value
// (to the still-preview chain, the render worker, the settings record).
//
// Field names are the outlet names of the controls they come from, so the
// control catalogue, the settings record and `--set NAME=VALUE` all speak of
// the same thing. Defaults live in the control catalogue only:
// `defaultEffectSettings()` (settings/ControlCatalogue.h) builds them from the control catalogue; a value
// constructed here is zero-filled, not default.
//
// Check boxes hold their state as an integer (0 off, 1 on); pop-ups hold the
// selected index (-1 when nothing is selected). Numeric pairs keep both the
// stepper's number, which is what every consumer reads, and the text field's
// text, which only the settings record stores.

#include <array>
#include <string>

namespace tintreel {

struct RgbColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
    bool operator==(const RgbColor&) const = default;
};

inline constexpr int kMatrixCells = 16;  // 4 x 4, row by row: M11, M12, ... M44

struct EffectSettings {
    // Adjustments: always applied to the still preview.
    float sliderBrightness = 0, sliderExposure = 0, sliderContrast = 0, sliderSaturation = 0,
          sliderGamma = 0, sliderHue = 0, sliderRed = 0, sliderGreen = 0, sliderBlue = 0;

    int checkBlackWhite = 0;

    int checkSepia = 0;
    float sliderSepiaIntensity = 0;

    int checkCartoon = 0;
    float sliderCartoonBlur = 0, sliderCartoonThreshold = 0, sliderCartoonQuantization = 0;

    int checkOilPainting = 0;
    float sliderOilPaintingIntensity = 0;

    int checkVignette = 0;
    float sliderVignetteRadius = 0;

    int checkPixellate = 0;
    float sliderPixellatePixelSize = 0;

    int checkHalftone = 0;
    float sliderHalftoneDotSize = 0;

    int checkBlur = 0;
    float sliderBlurIntensity = 0;

    int checkCircleBlur = 0;
    float sliderCircleBlurIntensity = 0, sliderCircleBlurRadius = 0;

    int checkFocusBlur = 0;
    float sliderFocusBlurIntensity = 0, sliderFocusBlurRadius = 0, sliderFocusBlurEdge = 0;

    int checkMotionBlur = 0;
    float sliderMotionBlurIntensity = 0, sliderMotionBlurAngle = 0;

    int checkZoomBlur = 0;
    float sliderZoomBlurIntensity = 0;

    int checkScale = 0;
    float stepperScale = 0;  // percent
    std::string textFieldScale;

    int checkRotate = 0;
    float sliderRotateAngle = 0;  // degrees

    int check3DTransform = 0;
    std::array<float, kMatrixCells> stepper3DTransform{};
    std::array<std::string, kMatrixCells> textField3DTransform;

    int checkSwirl = 0;
    float sliderSwirlRadius = 0, sliderSwirlAngle = 0;

    int checkGlassSphere = 0;
    float sliderGlassSphereRadius = 0, sliderGlassSphereRefraction = 0;

    int checkTextWatermark = 0;
    std::string textFieldText;  // UTF-8
    RgbColor colorWellTextColor;
    int comboTextFontType = 0;      // an index of the font list (FontFamilies.h)
    std::string textFontFamily;     // a family named outside that list, which wins; "" for none
    float stepperTextFontSize = 0;  // points
    std::string textFieldTextFontSize;
    float stepperTextOpacity = 0;  // percent
    std::string textFieldTextOpacity;
    int checkTextShadow = 0;
    int comboTextPosition = 0;
    int checkTextStroke = 0;
    float stepperTextXOffset = 0;
    std::string textFieldTextXOffset;
    float stepperTextYOffset = 0;
    std::string textFieldTextYOffset;
    int checkTextScaleWithVideo = 0;  // sizes and offsets are for a 1080-pixel shorter side
    float stepperTextStart = 0;       // seconds from the first frame
    std::string textFieldTextStart;
    float stepperTextEnd = 0;  // seconds; 0 shows it to the end
    std::string textFieldTextEnd;
    float stepperTextFade = 0;  // seconds of fade in and of fade out
    std::string textFieldTextFade;

    int checkImageWatermark = 0;
    std::string textFieldImage;  // file name of the chosen picture
    float stepperImageScale = 0;  // percent
    std::string textFieldImageScale;
    float stepperImageOpacity = 0;  // percent
    std::string textFieldImageOpacity;
    int comboImagePosition = 0;
    float stepperImageXOffset = 0;
    std::string textFieldImageXOffset;
    float stepperImageYOffset = 0;
    std::string textFieldImageYOffset;
    int checkImageScaleWithVideo = 0;
    float stepperImageStart = 0;
    std::string textFieldImageStart;
    float stepperImageEnd = 0;
    std::string textFieldImageEnd;
    float stepperImageFade = 0;
    std::string textFieldImageFade;

    // The frame's shape (see FrameGeometry.h): a canvas of another aspect,
    // how the picture fills it, and mirroring.
    int comboReframeAspect = 0;     // an index of kReframeAspects; 0 keeps the frame's own
    float stepperReframeWidth = 0;  // the custom aspect, width : height
    std::string textFieldReframeWidth;
    float stepperReframeHeight = 0;
    std::string textFieldReframeHeight;
    int comboReframeFill = 0;  // a ReframeFill
    // Crop to fill: the point of the frame kept in view, as fractions of its width and height.
    float sliderReframeFocusX = 0, sliderReframeFocusY = 0;
    RgbColor colorWellReframeBars;  // fit with bars: their colour
    int checkFlipHorizontal = 0, checkFlipVertical = 0;

    int checkColorTable = 0;
    std::string textFieldColorTable;     // the table file's full path; "" for none
    float sliderColorTableStrength = 0;  // 0 ... 1: how far each colour moves to the table's

    // The sound (see SoundSettings.h): every control at its default copies it untouched.
    float sliderVolume = 0;  // dB
    int checkMute = 0;
    float stepperAudioFadeIn = 0;  // seconds from the output's start
    std::string textFieldAudioFadeIn;
    float stepperAudioFadeOut = 0;  // seconds before the output's end
    std::string textFieldAudioFadeOut;
    int comboLoudness = 0;  // an index of kLoudnessChoices; 0 leaves the loudness alone
    float stepperLoudnessTarget = 0;  // LUFS, for the custom choice
    std::string textFieldLoudnessTarget;
    float stepperTruePeak = 0;  // dBTP: the ceiling the normalising gain keeps the true peak under
    std::string textFieldTruePeak;

    bool operator==(const EffectSettings&) const = default;
};

}  // namespace tintreel
