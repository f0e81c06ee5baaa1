#include "imaging/EffectChain.h"

#include <cmath>

namespace tintreel {

namespace {

bool stepRuns(const EffectStep& step, const EffectSettings& settings, ChainRules rules) {
    // A neutral adjustment on the still road gives an exact copy: passing it
    // over gives the same picture without the work.
    if (rules == ChainRules::Still)
        return step.runsOnStill(settings) && (!step.adjustment || step.enabled(settings));
    return step.runsOnMovie(settings);
}

}  // namespace

EffectChain::EffectChain(const EffectSettings& settings, const Image& logo, ChainRules rules,
                         double pixelScale)
    : rules_(rules) {
    const double scale = pixelScale > 0.0 && std::isfinite(pixelScale) ? pixelScale : 1.0;
    for (const EffectStep& step : effectSteps())
        if (stepRuns(step, settings, rules)) links_.push_back({step.code, step.make(settings, logo, scale)});
}

std::vector<EffectCode> EffectChain::codes() const {
    std::vector<EffectCode> codes;
    for (const Link& link : links_) codes.push_back(link.code);
    return codes;
}

Image EffectChain::apply(const Image& frame, double seconds) {
    Image current = frame;
    for (std::size_t i = 0; i < links_.size(); ++i) {
        Image next = links_[i].effect->apply(current, seconds);
        if (rules_ == ChainRules::Movie) {
            if (i + 1 < links_.size()) makeOpaque(next);
            current = std::move(next);
        } else if (next.width() == frame.width() && next.height() == frame.height()) {
            current = std::move(next);
        }
    }
    return current;
}

void makeOpaque(Image& image) {
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = image.row(y);
        for (int x = 0; x < image.width(); ++x) row[x * Image::kChannels + 3] = 255;
    }
}

}  // namespace tintreel
