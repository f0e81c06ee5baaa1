// The preview area keeps its zoom and pan while another widget takes its
// place and gives it back, whatever order the two are switched in (a resize
// that happens while the area is hidden reaches it without an old size), and
// View > Actual Pixels shows one picture pixel on each screen pixel, kept
// through a window resize, left by Fit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QVBoxLayout>

#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"

namespace tintreel {
namespace {

TEST(PreviewArea, ZoomAndPanSurviveAnotherWidgetTakingItsPlace) {
    for (const bool showAreaFirst : {true, false}) {
        SCOPED_TRACE(showAreaFirst ? "area shown, then the other hidden" : "other hidden, then area shown");
        QWidget box;
        auto* layout = new QVBoxLayout(&box);
        auto* view = new VideoImageView;
        auto* area = new PreviewArea(view);
        auto* other = new QWidget;
        layout->addWidget(area);
        layout->addWidget(other);
        other->hide();
        box.resize(640, 480);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        view->setImage(QImage(320, 240, QImage::Format_ARGB32_Premultiplied));
        area->zoom(1.21);
        area->pan({-20, -12});
        const QRect before = view->geometry();
        const double zoom = area->zoomFactor();
        for (int round = 1; round <= 3; ++round) {
            area->hide();
            other->show();
            QApplication::processEvents();
            if (showAreaFirst) area->show();
            other->hide();
            if (!showAreaFirst) area->show();
            QApplication::processEvents();
            EXPECT_EQ(view->geometry(), before) << "round " << round;
            EXPECT_DOUBLE_EQ(area->zoomFactor(), zoom) << "round " << round;
        }
    }
}

QImage picture(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

TEST(PreviewArea, ActualPixelsDrawsThePictureAtItsOwnSizeUntilFit) {
    for (const QSize size : {QSize(1280, 720), QSize(320, 180)}) {
        SCOPED_TRACE(size.width());
        auto* view = new VideoImageView;
        PreviewArea area(view);
        area.resize(640, 480);
        area.show();
        view->setImage(picture(size));
        const double ratio = area.devicePixelRatioF();
        const auto shownSize = [&] {
            const QRect drawn = view->pictureRect();
            return QSizeF(drawn.width() * ratio, drawn.height() * ratio);
        };
        const QRect fitted = view->pictureRect();
        ASSERT_TRUE(fitted.width() == area.width() || fitted.height() == area.height()) << "fitted first";

        area.showActualPixels();
        EXPECT_NEAR(shownSize().width(), size.width(), 2.0);
        EXPECT_NEAR(shownSize().height(), size.height(), 2.0);
        area.resize(800, 500);
        EXPECT_NEAR(shownSize().width(), size.width(), 2.0) << "kept through a resize";

        area.ResetZoom();
        EXPECT_DOUBLE_EQ(area.zoomFactor(), 1.0);
        EXPECT_EQ(view->geometry(), area.rect());
    }
}

}  // namespace
}  // namespace tintreel
