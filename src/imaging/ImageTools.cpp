#include "imaging/ImageTools.h"

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/FontFamilies.h"
#include "imaging/WatermarkScale.h"

namespace tintreel {

TextWatermarkStyle textWatermarkStyle(const EffectSettings& s) {
    return {s.textFieldText,       std::string(chosenFontFamily(s.comboTextFontType, s.textFontFamily)),
            s.stepperTextFontSize, s.stepperTextXOffset,
            s.stepperTextYOffset,  s.colorWellTextColor,
            s.comboTextPosition,   s.checkTextShadow != 0,
            s.checkTextStroke != 0};
}

ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& s) {
    return {s.comboImagePosition, percentToFraction(s.stepperImageScale), s.stepperImageXOffset,
            s.stepperImageYOffset};
}

TextWatermarkStyle textWatermarkStyle(const EffectSettings& settings, int width, int height,
                                      double pixelScale) {
    TextWatermarkStyle style = textWatermarkStyle(watermarksForFrame(settings, width, height, pixelScale));
    style.scale = watermarkScaleFactor(settings.checkTextScaleWithVideo != 0, width, height, pixelScale);
    return style;
}

ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& settings, int width, int height,
                                                double pixelScale) {
    return imageWatermarkPlacement(watermarksForFrame(settings, width, height, pixelScale));
}

std::optional<WatermarkKind> watermarkAt(const EffectSettings& s, QSize frameSize, QSizeF logoSize,
                                         QPointF point) {
    const int width = frameSize.width(), height = frameSize.height();
    const auto covers = [point](const std::optional<QRectF>& rect) { return rect && rect->contains(point); };
    if (s.checkImageWatermark == 1 &&
        covers(imageWatermarkRect(logoSize, imageWatermarkPlacement(s, width, height), width, height)))
        return WatermarkKind::Image;
    if (s.checkTextWatermark == 1 &&
        covers(textWatermarkRect(textWatermarkStyle(s, width, height), width, height)))
        return WatermarkKind::Text;
    return std::nullopt;
}

Image ApplyEffectChain(const EffectSettings& settings, const Image& snapshot, const Image& logo,
                       double seconds) {
    return EffectChain(settings, logo, ChainRules::Still).apply(snapshot, seconds);
}

}  // namespace tintreel
