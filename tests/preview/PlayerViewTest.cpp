// The embedded player: a loaded movie shows its first picture before Play,
// and Play starts where the seek bar stands.
#include <gtest/gtest.h>

#include <QMediaPlayer>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "preview/ImageCanvas.h"
#include "preview/PlayerView.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

// One second of red, then two of blue.
std::filesystem::path redThenBlue() {
    return test::makeClip(
        "-f lavfi -i color=c=red:s=160x120:r=10:d=1 -f lavfi -i color=c=blue:s=160x120:r=10:d=2 "
        "-filter_complex [0][1]concat=n=2:v=1:a=0 -pix_fmt yuv420p -c:v libx264",
        "mp4");
}

QColor middleOf(ImageCanvas& screen) {
    const QImage shot = screen.grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2);
}

TEST(PlayerView, ALoadedMovieShowsItsFirstPictureAndPlayStartsWhereTheSeekBarStands) {
    PlayerView player;
    player.resize(480, 360);
    player.show();
    player.setMovie(QString::fromStdString(redThenBlue().string()));
    auto* screen = player.findChild<ImageCanvas*>(QStringLiteral("playerScreen"));
    auto* seek = player.findChild<QSlider*>(QStringLiteral("playerSeek"));
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(seek, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->image().has_value(); }, 20000));
    const QColor shown = middleOf(*screen);
    EXPECT_GT(shown.red(), 180);
    EXPECT_LT(shown.blue(), 80);
    EXPECT_FALSE(player.isPlaying());
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.player()->duration() > 0; }, 20000)) << "never loaded";

    // A click beside the handle moves the bar a page (one second) on.
    seek->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(seek->value(), 1000);
    QSignalSpy barMoves(seek, &QSlider::valueChanged);
    player.findChild<QToolButton*>(QStringLiteral("playerPlayPause"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.player()->position() >= 1300; }, 20000));
    EXPECT_TRUE(player.isPlaying());
    // The bar never went back to the start: playing began where it stood.
    for (const QList<QVariant>& move : barMoves) EXPECT_GE(move.at(0).toInt(), 1000);
    player.pause();

    // Another movie: the previous picture goes at once.
    player.setMovie(QString());
    EXPECT_FALSE(screen->image().has_value());
}

}  // namespace
}  // namespace tintreel
