#include "render/LookDigest.h"

#include <bit>
#include <cstdint>

#include "platform/system/ContentDigest.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

// Bumped when what a look's pictures depend on is counted differently, so
// slices of two builds that count differently never match by accident.
constexpr std::string_view kDigestVersion = "look 1";

void addNumber(ContentDigest& digest, double value) {
    digest.add(std::bit_cast<std::int64_t>(value));
}

// The value of one control as a render reads it.
void addControl(ContentDigest& digest, const ControlRow& control, const EffectSettings& settings) {
    switch (control.kind) {
        case ControlKind::Slider:
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            addNumber(digest, control.number.of(settings));
            break;
        case ControlKind::Check:
        case ControlKind::PopUp:
            digest.add(std::int64_t{settings.*control.state});
            break;
        case ControlKind::FontPopUp: {
            // The family that draws: one named outside the list wins over the index.
            const std::string& named = control.text.of(settings);
            digest.add(named.empty() ? GetTextFontTypeWithFontType(settings.*control.state) : named);
            break;
        }
        case ControlKind::Text:
            // The picture's file name says where it lay on that machine; its pixels count instead.
            if (control.text.member != &EffectSettings::textFieldImage) digest.add(control.text.of(settings));
            break;
        case ControlKind::ColorWell: {
            const RgbColor& colour = settings.*control.color;
            for (double component : {colour.red, colour.green, colour.blue, colour.alpha})
                addNumber(digest, component);
            break;
        }
        case ControlKind::Button:
            break;
    }
}

void addPicture(ContentDigest& digest, const Image& picture) {
    digest.add(std::int64_t{picture.width()}).add(std::int64_t{picture.height()});
    if (!picture.isEmpty()) digest.add(std::span<const std::uint8_t>(picture.data(), picture.byteCount()));
}

}  // namespace

std::string lookDigest(const EffectSettings& settings, const Image& logo) {
    ContentDigest digest;
    digest.add(kDigestVersion);
    for (const ControlRow& control : controlCatalogue()) {
        if (groupState(settings, control.group) == 0) continue;
        digest.add(control.outlet);
        addControl(digest, control, settings);
    }
    if (groupState(settings, GroupId::ImageWatermark) != 0) addPicture(digest, logo);
    return digest.hex();
}

}  // namespace tintreel
