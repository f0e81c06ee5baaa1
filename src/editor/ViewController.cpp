#include "editor/ViewController.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/ControlBinding.h"
#include "editor/ControlPanel.h"
#include "settings/SettingsRecord.h"
#include "editor/RenderProgressLabel.h"
#include "platform/system/TemporaryDirectory.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Stepper.h"
#include "preview/PlayerView.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

QPushButton* makeCommandButton(Outlets& outlets, std::string_view name, const QString& title) {
    auto* button = outlets.add(new QPushButton(title), name);
    button->setProperty("role", "command");
    return button;
}

QPushButton* makeZoomButton(Outlets& outlets, std::string_view name, const QString& title, const QString& tip) {
    auto* button = outlets.add(new QPushButton(title), name);
    button->setProperty("role", "zoom");
    button->setToolTip(tip);
    button->setFixedSize(std::max(28, button->sizeHint().width()), 24);
    return button;
}

const QString kGeneratePreview = QStringLiteral("Generate Preview");
const QString kCancel = QStringLiteral("Cancel");
const QString kCancelling = QStringLiteral("Cancelling...");

// The help page ships with the program: <prefix>/share/tintreel/help next to bin/.
QUrl tutorialUrl() {
    const QDir bin(QCoreApplication::applicationDirPath());
    return QUrl::fromLocalFile(bin.absoluteFilePath(QStringLiteral("../share/tintreel/help/tutorial.html")));
}

}  // namespace

ViewController::ViewController(std::filesystem::path temporaryDirectory, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      temporaryDirectory_(std::move(temporaryDirectory)),
      renderFolders_(temporaryDirectory_,
                     QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString()),
      dialogs_(dialogs) {
    setObjectName(QStringLiteral("rootView"));
    setAttribute(Qt::WA_StyledBackground);
    buildInterface();
    controls_ = resolveWindowControls(outlets_);
    connectControls();
    connectWatermarkDrag();
    connectCropDrag();
    connectRenderSession();
    ResetInterface();
    dragObserver_ = NotificationCenter::defaultCenter().addObserver(
        "DragPerformed", [this](const Notification& notification) { DragPerformed(notification); });
}

// The pool waits for its tasks, the observer token unregisters, and the
// render session stops a running render and waits for it, as the members go.
ViewController::~ViewController() {
    stopReadingFrameTimes();  // the pool would wait for a long movie's read
    loudnessCancel_->store(true);  // and for a long movie's loudness
}

void ViewController::buildInterface() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(buildPreviewArea(), 1);
    left->addWidget(buildTimelineRow());
    left->addWidget(buildCommandBar());
    layout->addLayout(left, 1);
    QTabWidget* tabs = buildSettingsTabs(outlets_, dialogs_, this);
    tabs->setMinimumWidth(420);
    tabs->setMaximumWidth(460);
    layout->addWidget(tabs);
}

QWidget* ViewController::buildPreviewArea() {
    auto* box = outlets_.add(new QFrame, "boxImage");
    box->setProperty("role", "previewBox");
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(1, 1, 1, 1);
    auto* image = outlets_.add(new VideoImageView, "imageViewVideo");
    image->setDialogs(&dialogs_);
    connect(image, &VideoImageView::dragged, this, &ViewController::onPreviewDragged);
    connect(image, &VideoImageView::dragReleased, this, &ViewController::endFocusDrag);
    connect(image, &VideoImageView::colorTableDropped, this, &ViewController::onColorTableDropped);
    auto* area = outlets_.add(new PreviewArea(image), "customViewImage");
    stack->addWidget(area);
    auto* player = outlets_.add(new PlayerView, "playerViewVideo");
    stack->addWidget(player);
    box->setMinimumSize(480, 300);
    return box;
}

QWidget* ViewController::buildCommandBar() {
    auto* bar = new QWidget;
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(0, 0, 0, 0);

    auto* commands = new QHBoxLayout;
    commands->addWidget(makeCommandButton(outlets_, "buttonSelectVideo", QStringLiteral("Select Video...")));
    commands->addWidget(makeCommandButton(outlets_, "buttonGeneratePreview", QStringLiteral("Generate Preview")));
    commands->addWidget(makeCommandButton(outlets_, "buttonSaveVideo", QStringLiteral("Save Video...")));
    commands->addStretch();
    commands->addWidget(makeZoomButton(outlets_, "buttonZoomOut", QStringLiteral("\u2212"), tr("Zoom out")));
    commands->addWidget(makeZoomButton(outlets_, "buttonZoomIn", QStringLiteral("+"), tr("Zoom in")));
    commands->addWidget(makeZoomButton(outlets_, "buttonResetZoom", tr("Fit"), tr("Fit the preview")));
    auto* compare = outlets_.add(new QPushButton(tr("Compare")), "buttonCompare");
    compare->setToolTip(tr("Show the frame without effects while pressed (or hold the \\ key)"));
    compare->setFocusPolicy(Qt::NoFocus);
    connect(compare, &QPushButton::pressed, this, [this] { compareWithSource(true); });
    connect(compare, &QPushButton::released, this, [this] { compareWithSource(false); });
    commands->addWidget(compare);
    rows->addLayout(commands);

    auto* status = new QHBoxLayout;
    status->addWidget(new QLabel(tr("Frame at")));
    auto* browse = outlets_.add(new Stepper, "stepperBrowseFrames");
    browse->setRange(0, 24 * 3600);
    browse->setIncrement(1.0);
    browse->setToolTip(tr("Step through the video one second at a time"));
    status->addWidget(browse);
    auto* time = outlets_.add(new QLabel(QStringLiteral("0:00")), "labelBrowseTime");
    time->setMinimumWidth(56);
    status->addWidget(time);
    // The span's fields sit here rather than beside the timeline, which needs the width.
    status->addSpacing(16);
    status->addWidget(buildSpanFields());
    status->addStretch();
    auto* busy = outlets_.add(new QProgressBar, "progressIndicator");
    busy->setRange(0, 0);
    busy->setFixedSize(80, 10);
    busy->setTextVisible(false);
    status->addWidget(busy);
    auto* label = outlets_.add(new RenderProgressLabel, "labelProgress");
    label->setMinimumWidth(240);
    status->addWidget(label, 1);
    auto* passBar = outlets_.add(new QProgressBar, "progressBarPass");
    passBar->setRange(0, 1000);
    passBar->setTextVisible(false);
    passBar->setFixedSize(140, 10);
    status->addWidget(passBar);
    auto* pass = outlets_.add(new QLabel, "labelPass");
    pass->setToolTip(tr("The running pass out of all passes of this render"));
    status->addWidget(pass);
    rows->addLayout(status);
    rows->addWidget(buildCropFields());
    // Showing and hiding these on every refresh must not re-lay out the window.
    for (QWidget* transient : {static_cast<QWidget*>(busy), static_cast<QWidget*>(passBar)}) {
        QSizePolicy policy = transient->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        transient->setSizePolicy(policy);
    }
    return bar;
}

void ViewController::ResetInterface() {
    forgetPlayback();
    videoPath_.clear();
    render_.forgetMovie();
    videoFacts_ = MediaAsset();
    forgetSound();
    snapshot_ = std::make_shared<const Image>();
    snapshotSeconds_ = 0.0;
    clearLogo();

    controls_.tabs->setCurrentIndex(0);
    resetTimeline();
    showProgressIndicator(false);

    writeSettings(outlets_, defaultEffectSettings());

    hideRenderProgress();
    showStillPreview();
    updateMovieButtons();
    controls_.imageView->setImage(QImage());
    controls_.imageView->setReferenceImage(QImage());

    history_.reset(currentRecord());
    Q_EMIT commandsChanged();
    sessionKeeper_.changed();
}

EffectSettings ViewController::currentSettings() const { return readSettings(outlets_); }

// With the picture's path, so undo and redo bring the picture back too.
std::string ViewController::currentRecord() const {
    return renderSettingsRecord(currentSettings(), {logoPath_.toStdString()});
}

void ViewController::AppendSettingsRecord() {
    history_.stateImagesPath.push_back(currentRecord());
}

void ViewController::SaveState() {
    history_.saveState([this] { return currentRecord(); });
    Q_EMIT commandsChanged();
}

// A load in flight keeps it on whatever else ends meanwhile.
void ViewController::showProgressIndicator(bool visible) { controls_.busyIndicator->setVisible(visible || loading_); }

// Switches the preview box between the still preview (with its zoom
// buttons) and the player of the rendered movie.
void ViewController::showStillPreview(bool still) {
    for (QWidget* part : std::initializer_list<QWidget*>{controls_.previewArea, controls_.imageView, controls_.zoomIn,
                                                         controls_.zoomOut, controls_.resetZoom})
        part->setVisible(still);
    controls_.player->setVisible(!still);
}

void ViewController::returnToStillPreview() {
    render_.forgetMovie();
    pausePlayer();
    showStillPreview();
    updateMovieButtons();
}

void ViewController::updateMovieButtons() {
    QPushButton* preview = controls_.generatePreview;
    switch (render_.state()) {
        case RenderState::Idle:
            preview->setText(kGeneratePreview);
            preview->setEnabled(!videoPath_.isEmpty() && render_.newVideoPath().isEmpty());
            break;
        case RenderState::Rendering:
        case RenderState::Saving:
            preview->setText(kCancel);
            preview->setEnabled(true);
            break;
        case RenderState::Cancelling:
            preview->setText(kCancelling);
            preview->setEnabled(false);
            break;
    }
    controls_.saveVideo->setEnabled(!render_.isRendering() && !render_.newVideoPath().isEmpty());
}

void ViewController::updateBrowseTime() {
    const int whole = static_cast<int>(controls_.browseStepper->doubleValue());
    controls_.browseTime->setText(QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0')));
}

void ViewController::DeleteTemporaryFiles() {
    renderFolders_.deleteTemporaryFiles();
}

void ViewController::setInterfaceEnabled(bool enabled) {
    // A focused control that is switched off hands its focus to the next
    // one, and the settings list scrolls after it to the last control.
    if (QWidget* focused = QApplication::focusWidget();
        !enabled && focused && controls_.tabs->isAncestorOf(focused))
        focused->clearFocus();
    for (std::string_view name : interfaceSwitchedControls()) outlets_.get<QWidget>(name)->setEnabled(enabled);
    interfaceEnabled_ = enabled;
    updateTimeline();
}

bool ViewController::windowShouldClose() {
    if (const std::optional<QString> loss = workClosingWouldLose(); loss && !dialogs_.question(*loss))
        return false;
    sessionKeeper_.end();
    render_.cancelAndWait();
    render_.forgetMovie();  // its file goes with the temporary directory
    DeleteTemporaryFiles();
    return true;
}

void ViewController::OnFileNew() {
    ResetInterface();
    Q_EMIT titleChanged(QStringLiteral("Tintreel"));
}

void ViewController::OnHowToAddWatermarkOnVideo() {
    const QUrl url = tutorialUrl();
    if (url.isValid()) dialogs_.openUrl(url);
}

}  // namespace tintreel
