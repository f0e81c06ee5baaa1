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

#include "preview/ImageCanvas.h"

namespace tintreel {
namespace {

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
    connect(seekBar_, &QSlider::sliderMoved, player_, &QMediaPlayer::setPosition);
    connect(volume_, &QSlider::valueChanged, this, [this](int value) { audio_->setVolume(value / 100.0f); });
    connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        seekBar_->setRange(0, static_cast<int>(duration));
        updateTime();
    });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (!seekBar_->isSliderDown()) seekBar_->setValue(static_cast<int>(position));
        updateTime();
    });
    connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        if (frame.isValid()) screen_->setImage(frame.toImage());
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

PlayerView::~PlayerView() { player_->stop(); }

void PlayerView::setMovie(const QString& path) {
    player_->stop();
    screen_->clearImage();
    screen_->setDisplayShape(movieDisplayShape(path.toStdString()));
    player_->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
}

QString PlayerView::movie() const { return player_->source().toLocalFile(); }

void PlayerView::pause() { player_->pause(); }

bool PlayerView::isPlaying() const { return player_->playbackState() == QMediaPlayer::PlayingState; }

void PlayerView::togglePlayback() {
    if (isPlaying()) player_->pause();
    else player_->play();
}

void PlayerView::updateTime() {
    time_->setText(clockText(player_->position()) + QStringLiteral(" / ") + clockText(player_->duration()));
}

void PlayerView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) return togglePlayback();
    QWidget::keyPressEvent(event);
}

}  // namespace tintreel
