// Fuzzes the two readers of settings text that come from outside: profile
// files (parseSettingsRecord) and the command line's `--set NAME=VALUE`
// (assignNamedSetting).
//
// Besides crashes and sanitizer reports it checks the promise both make:
// whatever they accept leaves every control in range, which shows as a record
// that reads back with no problem at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

const EffectSettings& defaults() {
    static const EffectSettings settings = defaultEffectSettings();
    return settings;
}

// Aborts (a finding) unless `settings` and `extras` survive rendering and reading back untouched.
void requireSoundRecord(const EffectSettings& settings, const RecordExtras& extras = {}) {
    const std::string record = renderSettingsRecord(settings, extras);
    const RecordParseResult again = parseSettingsRecord(record, defaults());
    if (!again.problems.empty() || renderSettingsRecord(again.settings, again.extras) != record ||
        again.extras != extras)
        std::abort();
}

// The first byte picks a control (and whether to use its text field's name),
// the rest is the value, as `--set` would receive it.
void fuzzNamedSetting(std::string_view input) {
    if (input.empty()) return;
    const auto catalogue = controlCatalogue();
    const auto selector = static_cast<unsigned char>(input.front());
    const ControlRow& control = catalogue[(selector >> 1) % catalogue.size()];
    const std::string_view name =
        (selector & 1) && !control.textOutlet.empty() ? control.textOutlet : control.outlet;
    EffectSettings settings = defaults();
    if (assignNamedSetting(settings, name, input.substr(1))) requireSoundRecord(settings);
}

}  // namespace
}  // namespace tintreel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tintreel;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const RecordParseResult parsed = parseSettingsRecord(input, defaults());
    requireSoundRecord(parsed.settings, parsed.extras);
    fuzzNamedSetting(input);
    return 0;
}
