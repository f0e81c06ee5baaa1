// The render's progress label, as the window and the command line show it.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/ProgressText.h"

namespace tintreel {
namespace {

Notification progressNotification(UserInfo info) {
    return {"UpdateProgress", std::move(info)};
}

TEST(ProgressText, PassPhraseOrWholeRenderWithPercentSpeedAndTimeLeft) {
    using namespace progress_key;
    EXPECT_EQ(progressLabel(progressNotification({{kProgress, 0.123f}, {kEffect, 9.0f}})),
              "Applying Sepia Effect... 12.3%");
    EXPECT_EQ(
        progressLabel(progressNotification(
            {{kProgress, 0.425f}, {kEffect, kWholeRenderCode}, {kSteps, std::string("Sepia, Vignette")}})),
        "Rendering: Sepia, Vignette... 42.5%");
    EXPECT_EQ(progressLabel(progressNotification({{kProgress, 0.425f},
                                                  {kEffect, kWholeRenderCode},
                                                  {kSteps, std::string("Blur")},
                                                  {kFramesPerSecond, 31.4f},
                                                  {kSecondsLeft, 44.2f}})),
              "Rendering: Blur... 42.5% · 31 fps · 0:45 left");
    // A slow render keeps a decimal so its speed still moves; speed alone is not enough.
    EXPECT_EQ(progressLabel(progressNotification(
                  {{kProgress, 0.5f}, {kEffect, 26.0f}, {kFramesPerSecond, 0.74f}, {kSecondsLeft, 3725.0f}})),
              "Rotating... 50.0% · 0.7 fps · 1:02:05 left");
    EXPECT_EQ(
        progressLabel(progressNotification({{kProgress, 0.5f}, {kEffect, 26.0f}, {kFramesPerSecond, 3.0f}})),
        "Rotating... 50.0%");
}

TEST(ProgressText, UnknownCodesAndMissingValuesGiveNoLabel) {
    using namespace progress_key;
    for (float code : {27.0f, -1.0f, 2.5f, std::nanf("")})
        EXPECT_FALSE(progressLabel(progressNotification({{kProgress, 0.1f}, {kEffect, code}}))) << code;
    EXPECT_FALSE(progressLabel(progressNotification({{kEffect, 1.0f}})));
    EXPECT_FALSE(progressLabel(progressNotification({{kProgress, std::string("0.1")}, {kEffect, 1.0f}})));
    EXPECT_FALSE(progressLabel(Notification{"UpdateProgress", std::nullopt}));
    EXPECT_EQ(formatProgressPercent(std::nanf("")), "0.0");
    EXPECT_EQ(formatTimeLeft(-5.0), "0:00");
    EXPECT_EQ(formatTimeLeft(std::nan("")), "0:00");
    EXPECT_EQ(formatTimeLeft(600.0), "10:00");
}

}  // namespace
}  // namespace tintreel
