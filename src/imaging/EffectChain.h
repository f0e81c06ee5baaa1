#pragma once
// EffectChain: the enabled steps of the effect catalogue, each configured
// once, applied in the catalogue's order to frame after frame. Built once per
// still refresh or once per render, never per frame.
//
// Two rule sets, one per road:
// - Still: every adjustment and every ticked effect; a neutral adjustment is
//   passed over (it would return an exact copy) and a step whose result does
//   not have the frame's size is passed over.
// - Movie: the steps a render runs (adjustments only off their neutral
//   value). Between two steps every pixel is made opaque, which is exactly
//   what a lossless intermediate movie does to a frame, so one pass through
//   the chain hands the encoder the same pictures as one pass per step.
// On both roads, neighbouring steps that change each pixel from that pixel
// alone run as one pass over the rows (PixelKernel.h): the same pictures,
// without reading and writing the whole frame once per step.
//
// Ownership: the chain owns its effects (and the watermark picture it was
// given). Threads: build on any thread; apply on one thread at a time.

#include <memory>
#include <vector>

#include "imaging/EffectSettings.h"
#include "imaging/EffectSteps.h"
#include "platform/filters/Image.h"

namespace tintreel {

enum class ChainRules { Still, Movie };

class EffectChain : public FrameEffect {
public:
    // `pixelScale`: the frames this chain gets are shrunk by it from the size
    // the settings were made for (a preview at half size passes 0.5), and
    // every parameter measured in pixels follows (EffectStep::make). A value
    // that is not a positive finite number counts as 1.
    EffectChain(const EffectSettings& settings, const Image& logo, ChainRules rules, double pixelScale = 1.0);

    // The codes of the steps that run, in order.
    std::vector<EffectCode> codes() const;
    bool empty() const { return links_.empty(); }

    Image apply(const Image& frame, double seconds) override;

private:
    struct Link {
        std::vector<EffectCode> codes;  // one step, or neighbouring per-pixel steps run together
        std::unique_ptr<FrameEffect> effect;
        bool leavesOpaque = false;      // the effect itself makes its result opaque
    };
    void add(EffectCode code, std::unique_ptr<FrameEffect> effect);
    void fusePixelSteps();

    std::vector<Link> links_;
    ChainRules rules_;
};

// What a lossless RGB movie keeps of a frame: every pixel opaque, colours as they are.
void makeOpaque(Image& image);

}  // namespace tintreel
