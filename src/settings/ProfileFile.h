#pragma once
// Reading a saved profile (a settings record in a file) for a run that
// applies it as it is: the command line's --settings and a batch from the
// window. A damaged profile is refused rather than half applied. (The
// editor's Load Profile keeps the current value of each unusable line.)
//
// Pure function of the file; any thread.

#include <filesystem>
#include <optional>
#include <string>

#include "imaging/EffectSettings.h"
#include "platform/system/Result.h"
#include "settings/SettingsRecord.h"

namespace tintreel {

struct Profile {
    EffectSettings settings;
    RecordExtras extras;

    // The picture its image watermark shows: the saved path when the
    // watermark is on (a look without it does not need the picture).
    std::optional<std::filesystem::path> logoToShow() const {
        if (settings.checkImageWatermark != 1 || extras.logoPath.empty()) return std::nullopt;
        return extras.logoPath;
    }
};

// The profile at `path` read over `base`, or one line saying why it cannot
// be used (it cannot be read, or names the first damaged line).
Result<Profile> readProfileFile(const std::filesystem::path& path, const EffectSettings& base);

}  // namespace tintreel
