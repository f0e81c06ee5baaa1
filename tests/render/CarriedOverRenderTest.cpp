// A whole render, in either mode, keeps what its source carries besides
// pictures and sound. The per-effect mode reads RGB intermediates, so its
// last pass must take the description from the original movie.
#include <gtest/gtest.h>

#include "platform/system/Log.h"
#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::probeValues;

std::string first(const fs::path& file, const std::string& arguments, const std::string& key) {
    const auto values = probeValues(file, arguments, key);
    return values.empty() ? "" : values.front();
}

TEST(CarriedOverRender, BothModesKeepColoursShapeSubtitlesAndChapters) {
    // BT.709 at a size whose default is BT.601, with 4:3 pixels.
    const fs::path source = test::clipWithExtras("mp4", "aac", "mov_text",
                                                 "-vf setsar=4/3,scale=out_color_matrix=bt709 -colorspace "
                                                 "bt709 -color_primaries bt709 -color_trc bt709");
    EffectSettings settings = defaultEffectSettings();
    settings.sliderBrightness = 0.002f;
    settings.sliderContrast = 1.01f;
    for (const PassMode mode : {PassMode::One, PassMode::Each}) {
        SCOPED_TRACE(mode == PassMode::One ? "one pass" : "a pass per effect");
        const fs::path dir = test::scratchDirectory("carried-over");
        const fs::path destination = dir / "out.mp4";
        std::atomic<bool> cancel{false};
        NotificationCenter center;
        std::optional<RenderResult> result;
        const ScopedLogCapture quiet;
        GeneratePreviewVideo({settings, Image(), source, dir / "work", mode, destination}, cancel, center,
                             [&](const RenderResult& done) { result = done; });
        ASSERT_TRUE(result && result->outcome == RenderOutcome::Succeeded);
        const std::string video = "-select_streams v:0 -show_entries stream=";
        EXPECT_EQ(first(destination, video + "color_space", "color_space"), "bt709");
        EXPECT_EQ(first(destination, video + "color_primaries", "color_primaries"), "bt709");
        EXPECT_EQ(first(destination, video + "sample_aspect_ratio", "sample_aspect_ratio"), "4:3");
        EXPECT_EQ(first(destination, "-select_streams s -show_entries stream=codec_name", "codec_name"),
                  "mov_text");
        EXPECT_EQ(test::probeStream(destination, "s:0")->packets, test::probeStream(source, "s:0")->packets);
        EXPECT_EQ(probeValues(destination, "-show_entries chapter_tags=title", "TAG:title"),
                  (std::vector<std::string>{"Opening", "Ending"}));
        EXPECT_EQ(first(destination, "-show_entries format_tags=creation_time", "TAG:creation_time"),
                  "2024-05-06T07:08:09.000000Z");
    }
}

}  // namespace
}  // namespace tintreel
