#include "settings/ProfileFile.h"

#include <fstream>
#include <sstream>

namespace tintreel {

Result<Profile> readProfileFile(const std::filesystem::path& path, const EffectSettings& base) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) return Error{"cannot read the settings file " + path.string()};
    RecordParseResult parsed = parseSettingsRecord(text.str(), base);
    if (!parsed.problems.empty())
        return Error{"the settings file " + path.string() + " is damaged: " + parsed.problems.front()};
    return Profile{std::move(parsed.settings), std::move(parsed.extras)};
}

}  // namespace tintreel
