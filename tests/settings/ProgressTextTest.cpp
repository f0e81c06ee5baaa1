// The render's progress report, how it travels as a notification, and the
// label the window and the command line make of it.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/ProgressText.h"

namespace tintreel {
namespace {

RenderProgress wholeRender(std::vector<std::string> steps, float fraction) {
    RenderProgress report;
    report.steps = std::move(steps);
    report.fraction = fraction;
    return report;
}

RenderProgress effectPass(EffectCode effect, float fraction) {
    RenderProgress report;
    report.effect = effect;
    report.fraction = fraction;
    return report;
}

RenderProgress measured(RenderProgress report, double fps, double secondsLeft) {
    report.framesPerSecond = fps;
    report.secondsLeft = secondsLeft;
    return report;
}

TEST(ProgressText, PassPhraseOrWholeRenderWithPercentSpeedAndTimeLeft) {
    EXPECT_EQ(progressLabel(effectPass(EffectCode::Sepia, 0.123f)), "Applying Sepia Effect... 12.3%");
    EXPECT_EQ(progressLabel(wholeRender({"Sepia", "Vignette"}, 0.425f)),
              "Rendering: Sepia, Vignette... 42.5%");
    EXPECT_EQ(progressLabel(wholeRender({}, 0.5f)), "Rendering: ... 50.0%");
    EXPECT_EQ(progressLabel(measured(wholeRender({"Blur"}, 0.425f), 31.4, 44.2)),
              "Rendering: Blur... 42.5% · 31 fps · 0:45 left");
    // A slow render keeps a decimal so its speed still moves; speed alone is not enough.
    EXPECT_EQ(progressLabel(measured(effectPass(EffectCode::Rotate, 0.5f), 0.74, 3725.0)),
              "Rotating... 50.0% · 0.7 fps · 1:02:05 left");
    RenderProgress speedOnly = effectPass(EffectCode::Rotate, 0.5f);
    speedOnly.framesPerSecond = 3.0;
    EXPECT_EQ(progressLabel(speedOnly), "Rotating... 50.0%");
    EXPECT_EQ(formatProgressPercent(std::nanf("")), "0.0");
    EXPECT_EQ(formatTimeLeft(-5.0), "0:00");
    EXPECT_EQ(formatTimeLeft(std::nan("")), "0:00");
    EXPECT_EQ(formatTimeLeft(600.0), "10:00");
}

TEST(ProgressText, AShortLabelDropsNamesBeforeNumbers) {
    const RenderProgress report =
        measured(wholeRender({"Sepia", "Vignette", "Blur", "Text Watermark"}, 0.425f), 31.0, 45.0);
    const std::string numbers = "42.5% · 31 fps · 0:45 left";
    const auto fitsIn = [](std::size_t room) {
        return [room](const std::string& text) { return text.size() <= room; };
    };
    const struct {
        std::size_t room;  // bytes that fit
        std::string label;
    } cases[] = {
        {200, "Rendering: Sepia, Vignette, Blur, Text Watermark... " + numbers},
        {75, "Rendering: Sepia, Vignette, Blur, +1 more... " + numbers},
        {70, "Rendering: Sepia, Vignette, +2 more... " + numbers},
        {60, "Rendering: Sepia, +3 more... " + numbers},
        {45, "Rendering... " + numbers},
        {30, numbers},
        {5, numbers},  // nothing fits: the numbers alone, cut by the label
    };
    for (const auto& c : cases) EXPECT_EQ(progressLabel(report, fitsIn(c.room)), c.label) << c.room;
    EXPECT_EQ(progressLabel(effectPass(EffectCode::GlassSphere, 0.5f), fitsIn(25)), "Glass Sphere... 50.0%");
    EXPECT_EQ(progressLabel(effectPass(EffectCode::GlassSphere, 0.5f), fitsIn(10)), "50.0%");
}

TEST(ProgressText, TheReportTravelsAsPayloadAndAsTheTwoDocumentedKeys) {
    NotificationCenter center;
    std::vector<Notification> seen;
    const ObserverToken token =
        center.addObserver(std::string(kUpdateProgress), [&](const Notification& n) { seen.push_back(n); });
    RenderProgress perEffect = measured(effectPass(EffectCode::Sepia, 0.25f), 12.0, 30.0);
    perEffect.pass = 2;
    perEffect.passCount = 3;
    postProgress(center, perEffect);
    postProgress(center, wholeRender({"Sepia"}, 0.5f));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(progressOf(seen[0]), perEffect);
    EXPECT_EQ(seen[0].value<float>("progress"), 0.25f);
    EXPECT_EQ(seen[0].value<float>("effect"), 9.0f);
    EXPECT_EQ(seen[1].value<float>("effect"), kWholeRenderCode);
    EXPECT_DOUBLE_EQ(renderPercent(perEffect), 100.0 * 1.25 / 3);
}

TEST(ProgressText, UserInfoAloneGivesAReportOnlyForKnownCodes) {
    const auto posted = [](UserInfo info) {
        return progressOf(Notification{"UpdateProgress", std::move(info)});
    };
    EXPECT_EQ(posted({{"progress", 0.1f}, {"effect", 9.0f}}), effectPass(EffectCode::Sepia, 0.1f));
    EXPECT_EQ(posted({{"progress", 0.1f}, {"effect", kWholeRenderCode}}), wholeRender({}, 0.1f));
    EXPECT_EQ(posted({{"progress", 0.1f}, {"effect", 27.0f}}), effectPass(EffectCode::ColorTable, 0.1f));
    for (float code : {28.0f, -1.0f, 2.5f, std::nanf(""), 1e10f})
        EXPECT_FALSE(posted({{"progress", 0.1f}, {"effect", code}})) << code;
    EXPECT_FALSE(posted({{"effect", 1.0f}}));
    EXPECT_FALSE(posted({{"progress", std::string("0.1")}, {"effect", 1.0f}}));
    EXPECT_FALSE(progressOf(Notification{"UpdateProgress", std::nullopt}));
    // A report whose fraction is not a number still reads as a start.
    EXPECT_EQ(renderPercent(effectPass(EffectCode::Sepia, std::nanf(""))), 0.0);
}

TEST(ProgressText, PositionsReadToTheHundredthAndFramesCountFromOne) {
    const struct {
        double seconds;
        std::string text;
    } times[] = {
        {0.0, "0:00.00"},
        {59.999, "0:59.99"},
        {61.5, "1:01.50"},
        {3599.99, "59:59.99"},
        {3600.0, "1:00:00.00"},
        {7322.25, "2:02:02.25"},
        // Times made by multiplying, as frame times are, may fall a hair short.
        {0.29, "0:00.29"},
        {3 * 0.3, "0:00.90"},
        {8960 * (1.0 / 12800), "0:00.70"},
        {-1.0, "0:00.00"},
        {std::nan(""), "0:00.00"},
    };
    for (const auto& [seconds, text] : times) EXPECT_EQ(formatPositionTime(seconds), text) << seconds;

    const struct {
        std::size_t index, count;
        std::string text;
    } frames[] = {
        {0, 1, "frame 1 of 1"}, {15, 20, "frame 16 of 20"}, {107999, 108000, "frame 108000 of 108000"}};
    for (const auto& [index, count, text] : frames) EXPECT_EQ(formatFrameNumber(index, count), text);
}

}  // namespace
}  // namespace tintreel
