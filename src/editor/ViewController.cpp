#include "editor/ViewController.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "render/SettingsManager.h"
#include "editor/ControlBinding.h"
#include "settings/ControlCatalogue.h"
#include "editor/ControlPanel.h"
#include "settings/SettingsRecord.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Stepper.h"
#include "preview/PlayerView.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"

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
    button->setFixedSize(28, 24);
    auto* opacity = new QGraphicsOpacityEffect(button);
    opacity->setOpacity(0.5);
    button->setGraphicsEffect(opacity);
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
      settingsManager(SettingsManager::shared()),
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
    ResetInterface();
    dragObserver_ = NotificationCenter::defaultCenter().addObserver(
        "DragPerformed", [this](const Notification& notification) { DragPerformed(notification); });
    progressObserver_ = NotificationCenter::defaultCenter().addObserver(
        "UpdateProgress", [this](const Notification& notification) { UpdateProgress(notification); });
}

// A running render is stopped and waited for; the observer tokens
// unregister, and the pool waits for its tasks, as the members go.
ViewController::~ViewController() { cancelRenderAndWait(); }

void ViewController::buildInterface() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(buildPreviewArea(), 1);
    left->addWidget(buildCommandBar());
    layout->addLayout(left, 1);
    QTabWidget* tabs = buildSettingsTabs(outlets_, dialogs_, this);
    tabs->setMinimumWidth(390);
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
    commands->addWidget(makeZoomButton(outlets_, "buttonResetZoom", QStringLiteral("1:1"), tr("Fit the preview")));
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
    status->addStretch();
    auto* busy = outlets_.add(new QProgressBar, "progressIndicator");
    busy->setRange(0, 0);
    busy->setFixedSize(80, 10);
    busy->setTextVisible(false);
    status->addWidget(busy);
    auto* label = outlets_.add(new QLabel, "labelProgress");
    label->setMinimumWidth(240);
    status->addWidget(label);
    auto* passBar = outlets_.add(new QProgressBar, "progressBarPass");
    passBar->setRange(0, 1000);
    passBar->setTextVisible(false);
    passBar->setFixedSize(140, 10);
    status->addWidget(passBar);
    auto* pass = outlets_.add(new QLabel, "labelPass");
    pass->setToolTip(tr("The running pass out of all passes of this render"));
    status->addWidget(pass);
    rows->addLayout(status);
    // Showing and hiding these on every refresh must not re-lay out the window.
    for (QWidget* transient : {static_cast<QWidget*>(busy), static_cast<QWidget*>(passBar)}) {
        QSizePolicy policy = transient->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        transient->setSizePolicy(policy);
    }
    return bar;
}

void ViewController::ResetInterface() {
    videoPath.clear();
    newVideoPath.clear();
    snapshot = std::make_shared<const Image>();
    snapshotSeconds = 0.0;
    clearLogo();

    controls_.tabs->setCurrentIndex(0);
    controls_.browseStepper->setDoubleValue(0);
    updateBrowseTime();
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

std::string ViewController::currentRecord() const { return renderSettingsRecord(currentSettings()); }

void ViewController::AppendSettingsRecord() {
    history_.stateImagesPath.push_back(currentRecord());
}

void ViewController::SaveState() {
    history_.saveState([this] { return currentRecord(); });
    Q_EMIT commandsChanged();
}

void ViewController::showProgressIndicator(bool visible) { controls_.busyIndicator->setVisible(visible); }

// Switches the preview box between the still preview (with its zoom
// buttons) and the player of the rendered movie.
void ViewController::showStillPreview(bool still) {
    for (QWidget* part : std::initializer_list<QWidget*>{controls_.previewArea, controls_.imageView, controls_.zoomIn,
                                                         controls_.zoomOut, controls_.resetZoom})
        part->setVisible(still);
    controls_.player->setVisible(!still);
}

void ViewController::returnToStillPreview() {
    newVideoPath.clear();
    pausePlayer();
    showStillPreview();
    updateMovieButtons();
}

void ViewController::setRenderState(RenderState state) {
    renderState_ = state;
    updateMovieButtons();
}

void ViewController::updateMovieButtons() {
    QPushButton* preview = controls_.generatePreview;
    switch (renderState_) {
        case RenderState::Idle:
            preview->setText(kGeneratePreview);
            preview->setEnabled(!videoPath.isEmpty() && newVideoPath.isEmpty());
            break;
        case RenderState::Rendering:
            preview->setText(kCancel);
            preview->setEnabled(true);
            break;
        case RenderState::Cancelling:
            preview->setText(kCancelling);
            preview->setEnabled(false);
            break;
    }
    controls_.saveVideo->setEnabled(renderState_ == RenderState::Idle && !newVideoPath.isEmpty());
}

void ViewController::updateBrowseTime() {
    const int whole = static_cast<int>(controls_.browseStepper->doubleValue());
    controls_.browseTime->setText(QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0')));
}

void ViewController::DeleteTemporaryFiles() {
    renderFolders_.deleteTemporaryFiles();
}

void ViewController::setInterfaceEnabled(bool enabled) {
    for (std::string_view name : interfaceSwitchedControls()) outlets_.get<QWidget>(name)->setEnabled(enabled);
}

bool ViewController::windowShouldClose() {
    sessionKeeper_.end();
    cancelRenderAndWait();
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
