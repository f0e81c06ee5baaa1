#include "render/LookTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/filters/Image.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"

namespace tintreel {

namespace {

constexpr EffectCode kPerPixelSteps[] = {
    EffectCode::Brightness, EffectCode::Exposure,      EffectCode::Contrast, EffectCode::Saturation,
    EffectCode::Gamma,      EffectCode::Hue,           EffectCode::RGB,      EffectCode::ColorTable,
    EffectCode::Sepia,      EffectCode::BlackAndWhite,
};

// The grid's input level of node `index`: the nearest of the 256 levels our
// steps take to the node's exact position.
std::uint8_t nodeLevel(int index, int size) {
    return static_cast<std::uint8_t>(std::lround(index * 255.0 / (size - 1)));
}

// Every node of the cube as one pixel, red changing fastest: size^2 wide, size high.
Image gridPicture(int size) {
    Image picture(size * size, size);
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r) {
                std::uint8_t* p = picture.pixel(g * size + r, b);
                p[0] = nodeLevel(r, size);
                p[1] = nodeLevel(g, size);
                p[2] = nodeLevel(b, size);
                p[3] = 255;
            }
    return picture;
}

// Runs the look's per-pixel steps in chain order, as a render does.
Image applyPerPixelSteps(const EffectSettings& settings, Image picture) {
    for (const EffectStep& step : effectSteps())
        if (actsPerPixel(step.code) && step.runsOnMovie(settings))
            picture = step.make(settings, Image())->apply(picture, 0.0);
    return picture;
}

// "# name = value" for every control whose record line differs from its default.
std::string changedSettingsComments(const EffectSettings& settings) {
    const std::vector<std::string> ours = splitRecordLines(renderSettingsRecord(settings));
    const std::vector<std::string> defaults = splitRecordLines(renderSettingsRecord(defaultEffectSettings()));
    std::string out;
    for (const ControlRow& control : controlCatalogue()) {
        const std::optional<int> line = settingsRecordLine(control.outlet);
        if (!line || control.kind == ControlKind::Pair || control.kind == ControlKind::MatrixCell) continue;
        const auto at = static_cast<std::size_t>(*line);
        if (at < ours.size() && at < defaults.size() && ours[at] != defaults[at] &&
            !hasRecordLineBreak(ours[at]))
            out += "# " + std::string(control.outlet) + " = " + ours[at] + "\n";
    }
    return out.empty() ? "# every setting at its default\n" : out;
}

std::string rowText(const std::uint8_t* pixel) {
    char row[64];
    std::snprintf(row, sizeof row, "%.6f %.6f %.6f\n", pixel[0] / 255.0, pixel[1] / 255.0, pixel[2] / 255.0);
    return row;
}

std::string quotedTitle(std::string_view title) {
    std::string clean;
    for (char c : title) clean += (c == '"' || c == '\n' || c == '\r') ? ' ' : c;
    return "TITLE \"" + clean + "\"\n";
}

}  // namespace

bool actsPerPixel(EffectCode code) {
    return std::find(std::begin(kPerPixelSteps), std::end(kPerPixelSteps), code) != std::end(kPerPixelSteps);
}

std::vector<std::string_view> stepsLeftOutOfTable(const EffectSettings& settings) {
    std::vector<std::string_view> names;
    for (const EffectStep& step : effectSteps())
        if (!actsPerPixel(step.code) && step.runsOnMovie(settings)) names.push_back(step.name);
    return names;
}

std::string lookTableCube(const EffectSettings& settings, int size, std::string_view title) {
    size = std::clamp(size, kLookTableSmallest, kLookTableLargest);
    std::string out = quotedTitle(title);
    out += "# The look's per-pixel steps; its settings that differ from the defaults:\n";
    out += changedSettingsComments(settings);
    for (std::string_view name : stepsLeftOutOfTable(settings))
        out += "# left out (depends on neighbouring pixels or position): " + std::string(name) + "\n";
    out += "LUT_3D_SIZE " + std::to_string(size) + "\n";
    const Image looked = applyPerPixelSteps(settings, gridPicture(size));
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r) out += rowText(looked.pixel(g * size + r, b));
    return out;
}

}  // namespace tintreel
