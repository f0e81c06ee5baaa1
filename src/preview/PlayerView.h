#pragma once
// PlayerView: plays the rendered preview movie inside the window, with the
// controls a user expects: play/pause (also the space bar), a seek bar with
// the time, and the volume. Frames come through a video sink and are drawn
// like the still preview, which works the same on every display back end.
// A loaded movie shows its first picture at once, decoded here rather than
// left to the back end, which may show nothing before Play; Play starts
// where the seek bar stands (from the start once it stands at the end).
//
// GUI thread only.

#include <QThreadPool>
#include <QWidget>
#include <optional>

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
    void followPosition(qint64 position);
    void showFirstPicture(const QString& path);

    QMediaPlayer* player_;
    QAudioOutput* audio_;
    QVideoSink* sink_;
    ImageCanvas* screen_;
    QToolButton* playButton_;
    QSlider* seekBar_;
    QLabel* time_;
    QSlider* volume_;
    std::optional<qint64> startFrom_;  // where Play started, until playing has reached it
    int startSeeks_ = 0;               // seeks to startFrom_ asked for again
    int movieGeneration_ = 0;          // only the newest movie's first picture is shown
    bool showingPlayerFrame_ = false;  // the player's own pictures win over the decoded one
    QThreadPool pool_;                 // last member: destroyed first, waiting for the decode
};

}  // namespace tintreel
