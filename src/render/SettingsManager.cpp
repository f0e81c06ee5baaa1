#include "render/SettingsManager.h"

namespace tintreel {

SettingsManager& SettingsManager::shared() {
    // A function-local static is initialised exactly once, even when several
    // threads ask for it at the same time.
    static SettingsManager instance;
    return instance;
}

}  // namespace tintreel
