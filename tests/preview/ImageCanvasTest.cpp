// The canvas draws a movie's still with the shape a player shows it in:
// anamorphic pixels are stretched by the drawing, never in the picture.
#include <gtest/gtest.h>

#include <QImage>

#include "preview/ImageCanvas.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

TEST(ImageCanvas, DrawsThePictureWithItsDisplayShape) {
    ImageCanvas canvas;
    canvas.resize(800, 400);
    QImage white(480, 360, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    canvas.setImage(white);
    // Square pixels: the stored 4:3 picture, fitted by height and centred.
    EXPECT_EQ(canvas.pictureRect(), QRect(133, 0, 533, 400));

    canvas.setDisplayShape(QSize(640, 360));  // the same pixels, 4:3 wide each: 16:9 on screen
    EXPECT_EQ(canvas.pictureRect(), QRect(44, 0, 711, 400));
    const QImage drawn = canvas.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(60, 200), QColor(Qt::white)) << "inside the stretched picture";
    EXPECT_EQ(drawn.pixelColor(20, 200), QColor(Qt::black)) << "the bar beside it";
    EXPECT_EQ(canvas.image()->size(), QSize(480, 360)) << "the picture itself is not resampled";

    canvas.setDisplayShape({});
    EXPECT_EQ(canvas.pictureRect(), QRect(133, 0, 533, 400));
}

TEST(ImageCanvas, MovieDisplayShapeComesFromTheFile) {
    const auto anamorphic = test::makeClip(
        "-f lavfi -i testsrc2=s=480x360:r=25:d=0.4 -vf setsar=4/3 -pix_fmt yuv420p -c:v libx264", "mp4");
    EXPECT_EQ(movieDisplayShape(anamorphic), QSize(640, 360));
    EXPECT_EQ(movieDisplayShape(test::withRotationTag(anamorphic, 270)), QSize(270, 480));
    EXPECT_TRUE(movieDisplayShape("/nonexistent/clip.mp4").isEmpty());
}

}  // namespace
}  // namespace tintreel
