#include "imaging/ImageTools.h"

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/FontFamilies.h"

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

Image ApplyEffectChain(const EffectSettings& settings, const Image& snapshot, const Image& logo) {
    return EffectChain(settings, logo, ChainRules::Still).apply(snapshot);
}

}  // namespace tintreel
