#include "editor/WindowControls.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "editor/Outlets.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/TimelineBar.h"
#include "preview/PlayerView.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"

namespace tintreel {

WindowControls resolveWindowControls(const Outlets& outlets) {
    return WindowControls{
        .tabs = outlets.get<QTabWidget>("tabView"),
        .previewBox = outlets.get<QFrame>("boxImage"),
        .previewArea = outlets.get<PreviewArea>("customViewImage"),
        .imageView = outlets.get<VideoImageView>("imageViewVideo"),
        .player = outlets.get<PlayerView>("playerViewVideo"),
        .selectVideo = outlets.get<QPushButton>("buttonSelectVideo"),
        .generatePreview = outlets.get<QPushButton>("buttonGeneratePreview"),
        .saveVideo = outlets.get<QPushButton>("buttonSaveVideo"),
        .zoomIn = outlets.get<QPushButton>("buttonZoomIn"),
        .zoomOut = outlets.get<QPushButton>("buttonZoomOut"),
        .resetZoom = outlets.get<QPushButton>("buttonResetZoom"),
        .browseStepper = outlets.get<Stepper>("stepperBrowseFrames"),
        .browseTime = outlets.get<QLabel>("labelBrowseTime"),
        .timeline = outlets.get<TimelineBar>("timelineBrowse"),
        .timelineTime = outlets.get<QLabel>("labelTimelineTime"),
        .timelineFrame = outlets.get<QLabel>("labelTimelineFrame"),
        .playPause = outlets.get<QPushButton>("buttonPlayPause"),
        .busyIndicator = outlets.get<QProgressBar>("progressIndicator"),
        .watermarkText = outlets.get<QLineEdit>("textFieldText"),
        .pictureName = outlets.get<QLineEdit>("textFieldImage"),
    };
}

}  // namespace tintreel
