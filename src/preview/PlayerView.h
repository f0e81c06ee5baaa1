#pragma once
// PlayerView: plays the rendered preview movie inside the window, with the
// controls a user expects: play/pause (also the space bar), a seek bar with
// the time, and the volume. Frames come through a video sink and are drawn
// like the still preview, which works the same on every display back end.
//
// GUI thread only.

#include <QWidget>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QSlider;
class QToolButton;
class QVideoSink;

namespace tintreel {

class ImageCanvas;

class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    ~PlayerView() override;

    // Shows the movie at `path`, paused at its start; an empty path unloads.
    void setMovie(const QString& path);
    QString movie() const;
    void pause();
    bool isPlaying() const;
    QMediaPlayer* player() const { return player_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void togglePlayback();
    void updateTime();

    QMediaPlayer* player_;
    QAudioOutput* audio_;
    QVideoSink* sink_;
    ImageCanvas* screen_;
    QToolButton* playButton_;
    QSlider* seekBar_;
    QLabel* time_;
    QSlider* volume_;
};

}  // namespace tintreel
