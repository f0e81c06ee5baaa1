#include "imaging/ImageTools.h"

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/FontFamilies.h"
#include "imaging/WatermarkScale.h"

namespace tintreel {

TextWatermarkStyle textWatermarkStyle(const EffectSettings& s) {
    return {s.textFieldText,       std::string(fontFamilyName(s.comboTextFontType)),
            s.stepperTextFontSize, s.stepperTextXOffset,
            s.stepperTextYOffset,  s.colorWellTextColor,
            s.comboTextPosition,   s.checkTextShadow != 0,
            s.checkTextStroke != 0};
}

ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& s) {
    return {s.comboImagePosition, percentToFraction(s.stepperImageScale), s.stepperImageXOffset,
            s.stepperImageYOffset};
}

TextWatermarkStyle textWatermarkStyle(const EffectSettings& settings, int width, int height) {
    TextWatermarkStyle style = textWatermarkStyle(watermarksForFrame(settings, width, height));
    style.scale = watermarkScaleFactor(settings.checkTextScaleWithVideo != 0, width, height);
    return style;
}

ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& settings, int width, int height) {
    return imageWatermarkPlacement(watermarksForFrame(settings, width, height));
}

Image ApplyEffectChain(const EffectSettings& settings, const Image& snapshot, const Image& logo,
                       double seconds) {
    return EffectChain(settings, logo, ChainRules::Still).apply(snapshot, seconds);
}

}  // namespace tintreel
