// Neighbouring per-pixel steps run as one pass over the rows; the pictures
// must be those of one step at a time, on both roads, with the movie road's
// opaque frames between steps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "settings/ControlCatalogue.h"
#include "support/Clips.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

// The chain's picture computed the slow way: each step over the whole frame,
// with every pixel made opaque between two steps on the movie road.
Image oneStepAtATime(const EffectSettings& s, const std::vector<EffectCode>& codes, const Image& frame,
                     ChainRules rules) {
    Image current = frame;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        current = findEffectStep(codes[i])->make(s, Image())->apply(current, 0.0);
        if (rules == ChainRules::Movie && i + 1 < codes.size()) makeOpaque(current);
    }
    return current;
}

// A 2^3 table that swaps red and blue and darkens green.
std::filesystem::path swapTable() {
    const auto path = test::scratchDirectory("pixel-run") / "swap.cube";
    std::ofstream(path) << "LUT_3D_SIZE 2\n"
                           "0 0 0\n0 0 1\n0 0.8 0\n0 0.8 1\n1 0 0\n1 0 1\n1 0.8 0\n1 0.8 1\n";
    return path;
}

TEST(PixelRun, FusedStepsGiveThePicturesOfOneStepAtATime) {
    EffectSettings all = defaultEffectSettings();
    all.sliderBrightness = 0.05f;
    all.sliderExposure = 0.3f;
    all.sliderContrast = 1.2f;
    all.sliderSaturation = 0.7f;
    all.sliderGamma = 1.3f;
    all.sliderHue = 25.0f;
    all.sliderRed = 1.1f;
    all.checkColorTable = 1;
    all.textFieldColorTable = swapTable().string();
    all.sliderColorTableStrength = 0.6f;
    all.checkSepia = 1;
    all.sliderSepiaIntensity = 0.5f;

    EffectSettings withVignette = all;  // a step that looks at each pixel's place joins the run
    withVignette.checkVignette = 1;
    EffectSettings single = defaultEffectSettings();  // a run of one, last in the chain
    single.checkSepia = 1;
    single.sliderSepiaIntensity = 0.8f;
    EffectSettings greyThenSepia = single;
    greyThenSepia.checkBlackWhite = 1;

    // Noise alpha shows whether each road keeps or drops transparency as it should.
    const Image frame = test::noise(37, 23, 11);
    for (const EffectSettings* s : {&all, &withVignette, &single, &greyThenSepia})
        for (ChainRules rules : {ChainRules::Movie, ChainRules::Still}) {
            SCOPED_TRACE(testing::Message() << "settings " << (s - &all) << " road " << static_cast<int>(rules));
            EffectChain chain(*s, Image(), rules);
            const std::vector<EffectCode> codes = chain.codes();
            ASSERT_FALSE(codes.empty());
            const Image expected = oneStepAtATime(*s, codes, frame, rules);
            EXPECT_EQ(chain.apply(frame, 0.0), expected);
            EXPECT_EQ(chain.apply(frame, 0.0), expected);  // and again, frame after frame
        }
    // Every fused step is still listed, in the catalogue's order.
    EXPECT_EQ(EffectChain(greyThenSepia, Image(), ChainRules::Movie).codes(),
              (std::vector<EffectCode>{EffectCode::BlackAndWhite, EffectCode::Sepia}));
    EXPECT_EQ(EffectChain(withVignette, Image(), ChainRules::Movie).codes().size(), 10u);
}

}  // namespace
}  // namespace tintreel
