#include "app/RenderPreferences.h"
#include "platform/system/QtText.h"

#include <QSettings>
#include <algorithm>

namespace tintreel {

namespace {
const QString kPassModeKey = QStringLiteral("render/eachEffectInItsOwnPass");
// Stored by the command line's names ("h265", "crf=20", "smaller"); an empty codec is "automatic".
const QString kCodecKey = QStringLiteral("render/codec");
const QString kQualityKey = QStringLiteral("render/quality");
const QString kSpeedKey = QStringLiteral("render/speed");
const QString kPresetKey = QStringLiteral("render/preset");
const QString kMaxHeightKey = QStringLiteral("render/maxHeight");
const QString kMaxBytesKey = QStringLiteral("render/maxBytes");  // 0: no file size

std::string text(const QSettings& preferences, const QString& key) {
    return preferences.value(key).toString().toStdString();
}

}  // namespace

PassMode savedPassMode() {
    return QSettings().value(kPassModeKey, false).toBool() ? PassMode::Each : PassMode::One;
}

void savePassMode(PassMode mode) {
    QSettings().setValue(kPassModeKey, mode == PassMode::Each);
}

RenderSettings savedRenderSettings() {
    const QSettings preferences;
    RenderSettings settings;
    settings.codec = parseCodec(text(preferences, kCodecKey));
    settings.quality = parseQuality(text(preferences, kQualityKey)).value_or(Quality{});
    settings.speed = parseSpeed(text(preferences, kSpeedKey)).value_or(EncodeSpeed::Balanced);
    settings.maxHeight = std::max(0, preferences.value(kMaxHeightKey, 0).toInt());
    settings.preset = findOutputPreset(text(preferences, kPresetKey));
    settings.maxBytes = std::max(0LL, preferences.value(kMaxBytesKey, 0).toLongLong());
    return settings;
}

void saveRenderSettings(const RenderSettings& settings) {
    QSettings preferences;
    preferences.setValue(kCodecKey, settings.codec ? qstring(codecName(*settings.codec)) : QString());
    preferences.setValue(kQualityKey, qstring(qualityName(settings.quality)));
    preferences.setValue(kSpeedKey, qstring(speedName(settings.speed)));
    preferences.setValue(kMaxHeightKey, settings.maxHeight);
    preferences.setValue(kPresetKey, settings.preset ? qstring(settings.preset->name) : QString());
    preferences.setValue(kMaxBytesKey, settings.maxBytes);
}

}  // namespace tintreel
