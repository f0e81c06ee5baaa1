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

}  // namespace
}  // namespace tintreel
