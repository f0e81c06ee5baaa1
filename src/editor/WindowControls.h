#pragma once
// WindowControls: the controls the window controller names in its own code,
// as typed pointers resolved once, right after the window is built. A name
// that is missing or of another type ends the process there, with the name,
// in every build (see Outlets::get), rather than surfacing later as a null
// pointer. The catalogue's controls are reached through the catalogue's rows.
//
// Does not own the widgets: the window's widget tree does. GUI thread only.

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace tintreel {

class Outlets;
class PlayerView;
class PreviewArea;
class Stepper;
class TimelineBar;
class VideoImageView;

struct WindowControls {
    QTabWidget* tabs = nullptr;
    QWidget* previewBox = nullptr;
    PreviewArea* previewArea = nullptr;
    VideoImageView* imageView = nullptr;
    PlayerView* player = nullptr;
    QPushButton* selectVideo = nullptr;
    QPushButton* generatePreview = nullptr;  // doubles as Cancel during a render
    QPushButton* saveVideo = nullptr;
    QPushButton* zoomIn = nullptr;
    QPushButton* zoomOut = nullptr;
    QPushButton* resetZoom = nullptr;
    Stepper* browseStepper = nullptr;
    QLabel* browseTime = nullptr;
    TimelineBar* timeline = nullptr;
    QLabel* timelineTime = nullptr;
    QLabel* timelineFrame = nullptr;
    QPushButton* playPause = nullptr;
    QProgressBar* busyIndicator = nullptr;
    QLineEdit* watermarkText = nullptr;
    QLineEdit* pictureName = nullptr;
};

WindowControls resolveWindowControls(const Outlets& outlets);

}  // namespace tintreel
