// View > Actual Pixels through the preview area: one picture pixel on each
// screen pixel, kept through a window resize, left by Fit.
#include <gtest/gtest.h>

#include <QImage>

#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"

namespace tintreel {
namespace {

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
