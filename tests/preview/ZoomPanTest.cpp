#include <gtest/gtest.h>

#include "preview/ZoomPan.h"

namespace tintreel {
namespace {

const QSizeF kArea(400, 300);

TEST(ZoomPan, ZoomStepsKeepTheCentreAndStopAtTheirLimits) {
    QRectF view = resetZoom(kArea, QRectF(-50, -20, 600, 450));
    EXPECT_EQ(view, QRectF(0, 0, 400, 300));
    view = zoomPreview(kArea, view, kZoomInFactor);
    EXPECT_NEAR(view.width(), 440, 1e-9);
    EXPECT_NEAR(view.center().x(), 200, 1e-9);
    EXPECT_NEAR(view.center().y(), 150, 1e-9);
    view = zoomPreview(kArea, view, kZoomInFactor);
    EXPECT_NEAR(view.width() / kArea.width(), 1.21, 1e-12);

    EXPECT_EQ(zoomPreview(kArea, QRectF(0, 0, 400, 300), kZoomOutFactor), QRectF(0, 0, 400, 300));
    const QRectF at95(-1700, -1275, 3800, 2850);
    EXPECT_EQ(zoomPreview(kArea, at95, kZoomInFactor).size(), QSizeF(4000, 3000));  // 10.45 -> 10
    const QRectF at9(-1600, -1200, 3600, 2700);
    EXPECT_NEAR(zoomPreview(kArea, at9, kZoomInFactor).width() / kArea.width(), 9.9, 1e-9);
}

TEST(ZoomPan, RepositionAndDragsKeepTheViewCoveringTheArea) {
    EXPECT_EQ(repositionInVisibleArea(kArea, QRectF(30, -500, 440, 330)).topLeft(), QPointF(0, -30));
    EXPECT_EQ(repositionInVisibleArea(kArea, QRectF(30, 10, 200, 100)).topLeft(), QPointF(0, 0));

    const QRectF zoomed(-5, -5, 440, 330);
    EXPECT_EQ(panPreview(kArea, zoomed, {10, 0}).x(), -5);  // would give +5: ignored
    EXPECT_EQ(panPreview(kArea, zoomed, {3, 0}).x(), -2);
    EXPECT_EQ(panPreview(kArea, zoomed, {-40, 3}).topLeft(), QPointF(-5, -2));  // x would pass -40
    EXPECT_EQ(panPreview(kArea, QRectF(0, 0, 400, 300), {1, 1}).topLeft(), QPointF(0, 0));
}

// Actual pixels: the picture fitted into the view comes out at its own size.
TEST(ZoomPan, ActualPixelsShowsThePictureAtItsOwnSize) {
    const struct {
        const char* name;
        QRectF view;
        QSizeF picture;
        QRectF expected;
    } cases[] = {
        {"wider picture, from fit", {0, 0, 400, 300}, {1600, 900}, {-600, -450, 1600, 1200}},
        {"taller picture keeps the panned centre",
         {-100, -50, 800, 600},
         {600, 1200},
         {-500, -350, 1600, 1200}},
        {"limited to the maximum zoom", {0, 0, 400, 300}, {8000, 3000}, {-1800, -1350, 4000, 3000}},
        {"a small picture: a smaller view, centred", {-40, -30, 480, 360}, {200, 100}, {100, 75, 200, 150}},
        {"no picture: unchanged", {-40, -30, 480, 360}, {}, {-40, -30, 480, 360}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QRectF view = actualPixelsView(kArea, c.view, c.picture);
        EXPECT_NEAR(view.x(), c.expected.x(), 1e-9);
        EXPECT_NEAR(view.y(), c.expected.y(), 1e-9);
        EXPECT_NEAR(view.width(), c.expected.width(), 1e-9);
        EXPECT_NEAR(view.height(), c.expected.height(), 1e-9);
    }
}

}  // namespace
}  // namespace tintreel
