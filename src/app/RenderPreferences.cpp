#include "app/RenderPreferences.h"

#include <QSettings>

namespace tintreel {

namespace {
const QString kPassModeKey = QStringLiteral("render/eachEffectInItsOwnPass");
}  // namespace

PassMode savedPassMode() {
    return QSettings().value(kPassModeKey, false).toBool() ? PassMode::Each : PassMode::One;
}

void savePassMode(PassMode mode) {
    QSettings().setValue(kPassModeKey, mode == PassMode::Each);
}

}  // namespace tintreel
