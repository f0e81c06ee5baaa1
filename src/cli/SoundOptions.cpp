#include "cli/SoundOptions.h"

#include <cstdio>
#include <type_traits>

#include "imaging/SoundSettings.h"
#include "settings/ControlCatalogue.h"
#include "settings/WholeNumber.h"

namespace tintreel {
namespace {

// A number from `lowest` to `highest`, filling the whole text.
std::optional<double> numberWithin(const std::string& text, double lowest, double highest) {
    const std::optional<double> value = parseWholeNumber<double>(text);
    if (!value || !(*value >= lowest && *value <= highest)) return std::nullopt;
    return value;
}

std::string range(double lowest, double highest, const char* unit) {
    char text[64];
    std::snprintf(text, sizeof text, "a number from %g to %g %s", lowest, highest, unit);
    return text;
}

// The pair's text as the editor writes it for `value`.
void setPair(EffectSettings& settings, std::string_view stepper, float value) {
    const ControlRow* row = findControl(stepper);
    if (!row) return;
    row->number.of(settings) = value;
    row->text.of(settings) = pairText(*row, value);
}

}  // namespace

std::optional<std::string> takeSoundOption(const std::string& option, const std::string& value,
                                           SoundChoices& choices) {
    const auto take = [&](auto& into, double lowest, double highest, const char* unit) -> std::string {
        const std::optional<double> number = numberWithin(value, lowest, highest);
        if (!number) return option + " takes " + range(lowest, highest, unit) + ", got \"" + value + "\"";
        into = static_cast<std::remove_reference_t<decltype(*into)>>(*number);
        return {};
    };
    if (option == "--volume") return take(choices.volumeDb, -30, 20, "dB");
    if (option == "--loudness") return take(choices.loudnessLufs, kQuietestTarget, kLoudestTarget, "LUFS");
    if (option == "--true-peak") return take(choices.truePeakDbtp, kLowestCeiling, kHighestCeiling, "dBTP");
    return std::nullopt;
}

void applySoundChoices(EffectSettings& settings, const SoundChoices& choices) {
    if (choices.volumeDb) settings.sliderVolume = *choices.volumeDb;
    if (choices.mute) settings.checkMute = 1;
    if (choices.loudnessLufs) {
        settings.comboLoudness = loudnessChoiceFor(*choices.loudnessLufs);
        setPair(settings, "stepperLoudnessTarget", static_cast<float>(*choices.loudnessLufs));
    }
    if (choices.truePeakDbtp) setPair(settings, "stepperTruePeak", static_cast<float>(*choices.truePeakDbtp));
}

}  // namespace tintreel
