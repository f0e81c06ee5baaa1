#include "preview/PlayerView.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoFrame>
#include <QVideoSink>
#include <cstdlib>

#include "platform/filters/QtImage.h"
#include "platform/media/FrameImage.h"
#include "preview/BackgroundTask.h"
#include "preview/ImageCanvas.h"

namespace tintreel {
namespace {

// How far from the asked start playing may begin without a second seek (ms).
constexpr qint64 kSeekTolerance = 250;
constexpr int kStartSeeks = 5;

QString clockText(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

PlayerView::PlayerView(QWidget* parent)
    : QWidget(parent),
      player_(new QMediaPlayer(this)),
      audio_(new QAudioOutput(this)),
      sink_(new QVideoSink(this)),
      screen_(new ImageCanvas),
      playButton_(new QToolButton),
      seekBar_(new QSlider(Qt::Horizontal)),
      time_(new QLabel(QStringLiteral("0:00 / 0:00"))),
      volume_(new QSlider(Qt::Horizontal)) {
    player_->setAudioOutput(audio_);
    player_->setVideoSink(sink_);
    screen_->setObjectName(QStringLiteral("playerScreen"));
    playButton_->setObjectName(QStringLiteral("playerPlayPause"));
    playButton_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    playButton_->setToolTip(tr("Play or pause (Space)"));
    seekBar_->setObjectName(QStringLiteral("playerSeek"));
    volume_->setObjectName(QStringLiteral("playerVolume"));
    volume_->setRange(0, 100);
    volume_->setValue(80);
    volume_->setFixedWidth(90);
    volume_->setToolTip(tr("Volume"));
    audio_->setVolume(0.8f);

    auto* controls = new QHBoxLayout;
    controls->addWidget(playButton_);
    controls->addWidget(seekBar_, 1);
    controls->addWidget(time_);
    controls->addWidget(new QLabel(tr("Volume")));
    controls->addWidget(volume_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(screen_, 1);
    layout->addLayout(controls);
    setFocusPolicy(Qt::StrongFocus);

    connect(playButton_, &QToolButton::clicked, this, &PlayerView::togglePlayback);
    // Every move of the bar by the user (a drag, a click beside the handle,
    // a key) moves the player; the player's own progress only moves the bar.
    connect(seekBar_, &QSlider::actionTriggered, this, [this] {
        startFrom_.reset();
        player_->setPosition(seekBar_->sliderPosition());
    });
    connect(volume_, &QSlider::valueChanged, this, [this](int value) { audio_->setVolume(value / 100.0f); });
    connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        seekBar_->setRange(0, static_cast<int>(duration));
        seekBar_->setPageStep(1000);
        updateTime();
    });
    connect(player_, &QMediaPlayer::positionChanged, this, &PlayerView::followPosition);
    connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        if (!frame.isValid()) return;
        showingPlayerFrame_ = true;
        screen_->setImage(frame.toImage());
    });
    // Show the first picture as soon as the movie is ready, before Play.
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia && player_->playbackState() == QMediaPlayer::StoppedState)
            player_->pause();
    });
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        const bool playing = state == QMediaPlayer::PlayingState;
        playButton_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    });
}

PlayerView::~PlayerView() {
    player_->stop();
}

void PlayerView::setMovie(const QString& path) {
    startFrom_.reset();
    player_->stop();
    screen_->clearImage();
    screen_->setDisplayShape(movieDisplayShape(path.toStdString()));
    player_->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
    showFirstPicture(path);
}

void PlayerView::showFirstPicture(const QString& path) {
    const int generation = ++movieGeneration_;
    showingPlayerFrame_ = false;
    if (path.isEmpty()) return;
    runInBackground(
        pool_, this, [file = path.toStdString()] { return FrameImageAtTime(file, 0.0); },
        [this, generation](std::optional<Image> frame) {
            if (generation == movieGeneration_ && frame && !showingPlayerFrame_)
                screen_->setImage(toQImage(*frame));
        });
}

QString PlayerView::movie() const {
    return player_->source().toLocalFile();
}

void PlayerView::pause() {
    startFrom_.reset();
    player_->pause();
}

bool PlayerView::isPlaying() const {
    return player_->playbackState() == QMediaPlayer::PlayingState;
}

void PlayerView::togglePlayback() {
    if (isPlaying()) return pause();
    // The bar is what the user sees, so it decides where Play starts.
    const bool atEnd = seekBar_->maximum() > 0 && seekBar_->value() >= seekBar_->maximum();
    const qint64 from = atEnd ? 0 : seekBar_->value();
    startFrom_ = from;
    startSeeks_ = 0;
    player_->play();
}

// The GStreamer back end drops a seek made while it is still starting to
// play, so the start is asked for again until playing reports it (a few
// times at most: a back end that never gets there still plays).
void PlayerView::followPosition(qint64 position) {
    if (startFrom_ && isPlaying()) {
        if (std::abs(position - *startFrom_) > kSeekTolerance && startSeeks_ < kStartSeeks) {
            ++startSeeks_;
            return player_->setPosition(*startFrom_);
        }
        startFrom_.reset();
    }
    if (!seekBar_->isSliderDown() && !startFrom_) seekBar_->setValue(static_cast<int>(position));
    updateTime();
}

void PlayerView::updateTime() {
    time_->setText(clockText(player_->position()) + QStringLiteral(" / ") + clockText(player_->duration()));
}

void PlayerView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) return togglePlayback();
    QWidget::keyPressEvent(event);
}

}  // namespace tintreel
