// The watermark drag without a window: which offsets a pointer move reaches.
#include <gtest/gtest.h>

#include <optional>

#include "editor/WatermarkDrag.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

struct DragCase {
    const char* name;
    WatermarkKind kind;
    bool scaleWithVideo;
    QSize frame;
    QPointF startOffsets;
    QPointF move;                    // frame pixels, y down
    std::optional<QPointF> reached;  // nothing: the offsets stay
};

QPointF offsetsOf(WatermarkKind kind, const EffectSettings& settings) {
    const auto [x, y] = WatermarkDrag::offsetControls(kind);
    return {x->number.of(settings), y->number.of(settings)};
}

TEST(WatermarkDragTest, AMoveReachesWholeOffsetsWithinTheirRange) {
    const DragCase cases[] = {
        {"pixels are units", WatermarkKind::Text, false, {320, 240}, {0, 0}, {12, 5}, QPointF(12, -5)},
        {"half-size frame, scaled",
         WatermarkKind::Image,
         true,
         {960, 540},
         {4, 4},
         {10, -4},
         QPointF(24, 12)},
        {"rounds to where it was", WatermarkKind::Text, false, {320, 240}, {3, 3}, {0.4, -0.3}, std::nullopt},
        {"stops at the range",
         WatermarkKind::Image,
         false,
         {320, 240},
         {9990, -9990},
         {50, 50},
         QPointF(10000, -10000)},
        {"already at the range", WatermarkKind::Text, false, {320, 240}, {10000, 0}, {30, 0}, std::nullopt},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        EffectSettings settings = defaultEffectSettings();
        settings.checkTextScaleWithVideo = settings.checkImageScaleWithVideo = c.scaleWithVideo ? 1 : 0;
        const auto [x, y] = WatermarkDrag::offsetControls(c.kind);
        x->number.of(settings) = static_cast<float>(c.startOffsets.x());
        y->number.of(settings) = static_cast<float>(c.startOffsets.y());
        const WatermarkKind other =
            c.kind == WatermarkKind::Text ? WatermarkKind::Image : WatermarkKind::Text;

        WatermarkDrag drag;
        const QPointF press(100, 100);
        drag.begin(c.kind, press, settings);
        ASSERT_EQ(drag.kind(), c.kind);
        const std::optional<EffectSettings> moved = drag.moveTo(press + c.move, c.frame, settings);
        ASSERT_EQ(moved.has_value(), c.reached.has_value());
        if (moved) {
            EXPECT_EQ(offsetsOf(c.kind, *moved), *c.reached);
            EXPECT_EQ(x->text.of(*moved),
                      pairText(*x, static_cast<float>(c.reached->x())));  // the field follows
            EXPECT_EQ(y->text.of(*moved), pairText(*y, static_cast<float>(c.reached->y())));
            EXPECT_EQ(offsetsOf(other, *moved), offsetsOf(other, settings));
        }
        EXPECT_EQ(drag.end(), c.reached.has_value());  // only a drag that moved is recorded
        EXPECT_FALSE(drag.isActive());
        EXPECT_FALSE(drag.moveTo(press + c.move, c.frame, settings).has_value());
    }
}

}  // namespace
}  // namespace tintreel
