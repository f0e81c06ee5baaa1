#include "preview/PlaybackScale.h"

#include <algorithm>

namespace tintreel {
namespace {

constexpr int kSmallestShrink = 4;
constexpr double kStepDownShare = 0.8;  // of the frame period
constexpr double kStepUpShare = 0.5;
constexpr double kCostPerStep = 4.0;  // twice the width and height: four times the pixels

}  // namespace

int shrinkOf(PreviewScale scale) {
    switch (scale) {
        case PreviewScale::Half:
            return 2;
        case PreviewScale::Quarter:
            return 4;
        case PreviewScale::Full:
        case PreviewScale::Automatic:
            break;
    }
    return 1;
}

QString scaleName(int shrink) {
    if (shrink >= 4) return QStringLiteral("Quarter");
    return shrink == 2 ? QStringLiteral("Half") : QStringLiteral("Full");
}

int shrinkForView(int frameWidth, double shownWidth) {
    int shrink = 1;
    while (shrink < kSmallestShrink && frameWidth / (shrink * 2) >= shownWidth) shrink *= 2;
    return shrink;
}

int automaticShrink(int current, int viewShrink, double frameMs, double periodMs) {
    int shrink = std::max(current, viewShrink);
    if (frameMs <= 0.0 || periodMs <= 0.0) return shrink;
    if (frameMs > kStepDownShare * periodMs) return std::min(shrink * 2, kSmallestShrink);
    if (shrink > viewShrink && frameMs * kCostPerStep < kStepUpShare * periodMs) return shrink / 2;
    return shrink;
}

}  // namespace tintreel
