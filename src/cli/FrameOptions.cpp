#include "cli/FrameOptions.h"

#include <QColor>
#include <array>
#include <cmath>

#include "imaging/FrameGeometry.h"
#include "platform/system/QtText.h"
#include "settings/ControlCatalogue.h"
#include "settings/WholeNumber.h"

namespace tintreel {
namespace {

constexpr std::array<std::string_view, 3> kFillNames{"crop", "blur", "bars"};

// The text split at `separator` into exactly `count` parts.
std::optional<std::vector<std::string>> splitInto(const std::string& text, char separator,
                                                  std::size_t count) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    if (parts.size() != count) return std::nullopt;
    return parts;
}

std::optional<PixelRect> parseCrop(const std::string& value) {
    const auto parts = splitInto(value, ':', 4);
    if (!parts) return std::nullopt;
    std::array<int, 4> numbers{};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::optional<int> number = parseWholeNumber<int>((*parts)[i]);
        if (!number || *number < (i < 2 ? 1 : 0)) return std::nullopt;
        numbers[i] = *number;
    }
    return PixelRect{numbers[2], numbers[3], numbers[0], numbers[1]};
}

std::optional<std::pair<float, float>> parseAspectValue(const std::string& value) {
    if (value == "original") return std::pair(0.0f, 0.0f);
    const auto parts = splitInto(value, ':', 2);
    if (!parts) return std::nullopt;
    const auto width = parseWholeNumber<float>((*parts)[0]), height = parseWholeNumber<float>((*parts)[1]);
    if (!width || !height || !(*width > 0) || !(*height > 0) || !std::isfinite(*width) ||
        !std::isfinite(*height))
        return std::nullopt;
    return std::pair(*width, *height);
}

// "#rrggbb" or a colour's name ("black", "navy").
std::optional<RgbColor> parseBarColour(const std::string& value) {
    const bool hex = value.size() == 7 && value[0] == '#';
    const bool name =
        !value.empty() && value.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
    if (!hex && !name) return std::nullopt;
    const QColor colour(qstring(value));
    if (!colour.isValid()) return std::nullopt;
    return RgbColor{colour.redF(), colour.greenF(), colour.blueF(), 1.0};
}

std::optional<std::string> takeFill(const std::string& value, FrameChoices& choices) {
    const std::size_t colon = value.find(':');
    const std::string mode = value.substr(0, colon);
    for (std::size_t i = 0; i < kFillNames.size(); ++i) {
        if (mode != kFillNames[i]) continue;
        if (colon != std::string::npos) {
            if (mode != "bars") return "--fill takes a colour only with bars, got \"" + value + "\"";
            choices.bars = parseBarColour(value.substr(colon + 1));
            if (!choices.bars)
                return "--fill bars:COLOR takes #rrggbb or a colour name, got \"" + value + "\"";
        }
        choices.fill = static_cast<int>(i);
        return std::string();
    }
    return "--fill takes crop, blur or bars[:COLOR], got \"" + value + "\"";
}

std::optional<std::pair<float, float>> parseFocus(const std::string& value) {
    const auto parts = splitInto(value, ',', 2);
    if (!parts) return std::nullopt;
    const auto x = parseWholeNumber<float>((*parts)[0]), y = parseWholeNumber<float>((*parts)[1]);
    if (!x || !y || !(*x >= 0 && *x <= 1) || !(*y >= 0 && *y <= 1)) return std::nullopt;
    return std::pair(*x, *y);
}

// The aspect W:H as one of the pop-up's fixed aspects when it is one (so the
// window shows it by name), else as a custom aspect.
void setAspect(EffectSettings& settings, std::pair<float, float> aspect) {
    const auto [w, h] = aspect;
    if (w == 0) {
        settings.comboReframeAspect = 0;
        return;
    }
    if (w == std::floor(w) && h == std::floor(h) && w <= 1e6f && h <= 1e6f &&
        chooseFixedAspect(settings, static_cast<int>(w), static_cast<int>(h)))
        return;
    // The window's fields take whole-ish numbers from 1: a ratio below that is scaled up.
    const float up = std::min(w, h) < 1 ? 1 / std::min(w, h) : 1.0f;
    const ControlRow& width = *findControl("stepperReframeWidth");
    const ControlRow& height = *findControl("stepperReframeHeight");
    settings.comboReframeAspect = kCustomAspect;
    settings.stepperReframeWidth = std::clamp(w * up, width.minimum, width.maximum);
    settings.stepperReframeHeight = std::clamp(h * up, height.minimum, height.maximum);
    settings.textFieldReframeWidth = pairText(width, settings.stepperReframeWidth);
    settings.textFieldReframeHeight = pairText(height, settings.stepperReframeHeight);
}

}  // namespace

std::optional<std::string> takeFrameOption(const std::string& option, const std::string& value,
                                           std::optional<PixelRect>& crop, FrameChoices& choices,
                                           RenderSettings& render) {
    const auto refused = [&](const char* takes) {
        return option + " takes " + takes + ", got \"" + value + "\"";
    };
    if (option == "--crop") {
        crop = parseCrop(value);
        if (!crop) return refused("W:H:X:Y in pixels, W and H at least 1, X and Y at least 0");
    } else if (option == "--aspect") {
        choices.aspect = parseAspectValue(value);
        if (!choices.aspect) return refused("original or W:H with W and H greater than 0");
    } else if (option == "--fill") {
        return takeFill(value, choices);
    } else if (option == "--focus") {
        choices.focus = parseFocus(value);
        if (!choices.focus) return refused("X,Y with both from 0 to 1");
    } else if (option == "--preset") {
        render.preset = findOutputPreset(value);
        if (!render.preset) return refused("one of the presets --help lists");
    } else {
        return std::nullopt;
    }
    return std::string();
}

void applyFrameChoices(EffectSettings& settings, const FrameChoices& choices, const OutputPreset* preset) {
    const std::optional<std::pair<float, float>> aspect =
        choices.aspect ? choices.aspect
        : preset
            ? std::optional(std::pair(static_cast<float>(preset->width), static_cast<float>(preset->height)))
            : std::nullopt;
    if (aspect) setAspect(settings, *aspect);
    if (choices.fill) settings.comboReframeFill = *choices.fill;
    if (choices.bars) settings.colorWellReframeBars = *choices.bars;
    if (choices.focus) {
        settings.sliderReframeFocusX = choices.focus->first;
        settings.sliderReframeFocusY = choices.focus->second;
    }
}

std::string presetHelp() {
    std::string text;
    for (const OutputPreset& preset : outputPresets())
        text += "                           " + std::string(preset.name) + " (\"" +
                std::string(preset.label) + "\"): " + std::to_string(preset.width) + "x" +
                std::to_string(preset.height) + "\n";
    return text;
}

}  // namespace tintreel
