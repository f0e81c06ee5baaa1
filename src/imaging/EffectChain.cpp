#include "imaging/EffectChain.h"

#include <cmath>
#include <optional>

#include "platform/filters/Parallel.h"

namespace tintreel {

namespace {

bool stepRuns(const EffectStep& step, const EffectSettings& settings, ChainRules rules) {
    // A neutral adjustment on the still road gives an exact copy: passing it
    // over gives the same picture without the work.
    if (rules == ChainRules::Still)
        return step.runsOnStill(settings) && (!step.adjustment || step.enabled(settings));
    return step.runsOnMovie(settings);
}

// Neighbouring per-pixel steps as one effect: each row goes through every
// kernel in turn while it is in the cache.
class PixelRun : public FrameEffect {
public:
    PixelRun(std::vector<PixelKernel> kernels, bool opaque) : kernels_(std::move(kernels)), opaque_(opaque) {}
    Image apply(const Image& frame, double) override { return applyPixelKernels(frame, kernels_, opaque_); }

private:
    std::vector<PixelKernel> kernels_;
    bool opaque_;
};

}  // namespace

EffectChain::EffectChain(const EffectSettings& settings, const Image& logo, ChainRules rules,
                         double pixelScale)
    : rules_(rules) {
    const double scale = pixelScale > 0.0 && std::isfinite(pixelScale) ? pixelScale : 1.0;
    for (const EffectStep& step : effectSteps())
        if (stepRuns(step, settings, rules)) add(step.code, step.make(settings, logo, scale));
    fusePixelSteps();
}

void EffectChain::add(EffectCode code, std::unique_ptr<FrameEffect> effect) {
    links_.push_back({{code}, std::move(effect)});
}

void EffectChain::fusePixelSteps() {
    std::vector<Link> fused;
    for (std::size_t i = 0; i < links_.size();) {
        if (!links_[i].effect->pixelKernel()) {
            fused.push_back(std::move(links_[i++]));
            continue;
        }
        Link run;
        std::vector<PixelKernel> kernels;
        for (; i < links_.size() && links_[i].effect->pixelKernel(); ++i) {
            run.codes.push_back(links_[i].codes.front());
            kernels.push_back(*links_[i].effect->pixelKernel());
        }
        // On the movie road every step but the last leaves an opaque frame;
        // within a run alpha passes through each kernel, so the run's result
        // is opaque when it holds more than one step or is not the last.
        run.leavesOpaque = rules_ == ChainRules::Movie && (kernels.size() > 1 || i < links_.size());
        run.effect = std::make_unique<PixelRun>(std::move(kernels), run.leavesOpaque);
        fused.push_back(std::move(run));
    }
    links_ = std::move(fused);
}

std::vector<EffectCode> EffectChain::codes() const {
    std::vector<EffectCode> codes;
    for (const Link& link : links_) codes.insert(codes.end(), link.codes.begin(), link.codes.end());
    return codes;
}

Image EffectChain::apply(const Image& frame, double seconds) {
    // The caller's frame is read where it lies. From the first step on the
    // chain owns its picture; on the movie road, where every step's result
    // is kept, it hands that picture on to the next step to keep.
    std::optional<Image> current;
    for (std::size_t i = 0; i < links_.size(); ++i) {
        FrameEffect& effect = *links_[i].effect;
        Image next = rules_ == ChainRules::Movie && current
                         ? effect.applyToOwn(std::move(*current), seconds)
                         : effect.apply(current ? *current : frame, seconds);
        if (rules_ == ChainRules::Movie) {
            if (i + 1 < links_.size() && !links_[i].leavesOpaque) makeOpaque(next);
            current = std::move(next);
        } else if (next.width() == frame.width() && next.height() == frame.height()) {
            current = std::move(next);
        }
    }
    return current ? std::move(*current) : frame;
}

void makeOpaque(Image& image) {
    forEachRowBlock(image.height(), [&image](int y0, int y1) {
        for (int y = y0; y < y1; ++y) makeRowOpaque(image.row(y), image.width());
    });
}

}  // namespace tintreel
