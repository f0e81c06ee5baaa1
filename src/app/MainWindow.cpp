#include "app/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>

#include "app/AboutBox.h"
#include "app/DesktopNotice.h"
#include "app/RenderPreferences.h"
#include "batch/BatchWindow.h"
#include "editor/RecentVideos.h"
#include "editor/ViewController.h"
#include "platform/ui/Dialogs.h"

namespace tintreel {

MainWindow::MainWindow(ViewController* controller, Dialogs& dialogs)
    : controller_(controller), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Tintreel"));
    setCentralWidget(controller_);
    buildMenus();
    connect(controller_, &ViewController::titleChanged, this, &MainWindow::setWindowTitle);
    // The title names the open video and keeps the program's name.
    connect(controller_, &ViewController::videoOpened, this, [this](const QString& path) {
        setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" \u2014 Tintreel"));
    });
    connect(controller_, &ViewController::commandsChanged, this, &MainWindow::updateCommands);
    connect(controller_, &ViewController::renderFinished, this, &MainWindow::tellUserRenderEnded);
    updateCommands();
    resize(1280, 800);
    // No smaller than its contents need (the theme's button widths
    // included), so the command bar never overlaps itself.
    ensurePolished();
    setMinimumSize(minimumSizeHint().expandedTo(QSize(960, 640)));
}

MainWindow::~MainWindow() {
    delete batch_;  // cancels a running batch and waits for it, before the editor goes
}

BatchWindow* MainWindow::batchWindow() {
    if (!batch_) {
        const auto editorLook = [this] {
            return BatchLook{controller_->currentSettings(), *controller_->logo(),
                             controller_->renderSettings()};
        };
        batch_ = new BatchWindow(editorLook, dialogs_, this);
        connect(batch_, &BatchWindow::batchFinished, this, &MainWindow::tellUserBatchEnded);
    }
    return batch_;
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& name, const QString& text,
                                const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void MainWindow::buildMenus() {
    using VC = ViewController;
    const auto add = [this](QMenu* menu, const char* name, const QString& text, const QString& keys,
                            void (VC::*slot)()) {
        connect(addCommand(menu, QString::fromLatin1(name), text, QKeySequence(keys)), &QAction::triggered,
                controller_, slot);
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, "OnFileNew", tr("&New"), tr("Ctrl+N"), &VC::OnFileNew);
    add(file, "OnSelectVideo", tr("&Open Video..."), tr("Ctrl+O"), &VC::OnSelectVideo);
    addRecentVideos(file);
    add(file, "OnSaveVideo", tr("&Save Video..."), tr("Ctrl+S"), &VC::OnSaveVideo);
    file->addSeparator();
    connect(
        addCommand(file, QStringLiteral("OnBatchRender"), tr("&Batch Render..."), QKeySequence(tr("Ctrl+B"))),
        &QAction::triggered, this, [this] {
            BatchWindow* batch = batchWindow();
            batch->show();
            batch->raise();
            batch->activateWindow();
        });
    file->addSeparator();
    add(file, "OnLoadProfile", tr("&Load Profile..."), tr("Ctrl+L"), &VC::OnLoadProfile);
    add(file, "OnSaveProfile", tr("Save &Profile"), tr("Ctrl+Alt+S"), &VC::OnSaveProfile);
    add(file, "OnSaveProfileAs", tr("Save Profile &As..."), tr("Ctrl+Alt+Shift+S"), &VC::OnSaveProfileAs);
    add(file, "OnExportColorTable", tr("&Export Look as Color Table..."), QString(), &VC::OnExportColorTable);
    file->addSeparator();
    // Quitting closes the window first, which asks about a running batch and
    // stops a render, so nothing is left half written.
    connect(addCommand(file, QStringLiteral("OnAppQuit"), tr("&Quit"), QKeySequence(tr("Ctrl+Q"))),
            &QAction::triggered, this, [this] {
                if (close()) QApplication::quit();
            });

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    add(edit, "OnUndo", tr("&Undo"), tr("Ctrl+Z"), &VC::OnUndo);
    add(edit, "OnRedo", tr("&Redo"), tr("Ctrl+Shift+Z"), &VC::OnRedo);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view, "OnZoomIn", tr("Zoom &In"), tr("Ctrl++"), &VC::OnZoomIn);
    add(view, "OnZoomOut", tr("Zoom &Out"), tr("Ctrl+-"), &VC::OnZoomOut);
    add(view, "OnResetZoom", tr("&Fit Preview"), tr("Ctrl+0"), &VC::OnResetZoom);
    add(view, "OnActualPixels", tr("&Actual Pixels"), tr("Ctrl+1"), &VC::OnActualPixels);
    addPreviewScaleChoice(view);

    QMenu* render = menuBar()->addMenu(tr("&Render"));
    add(render, "OnGeneratePreview", tr("&Generate Preview / Cancel"), tr("Ctrl+R"), &VC::OnGeneratePreview);
    render->addSeparator();
    addRenderSettingsCommand(render);
    addPassModeChoice(render);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, "OnHowToAddWatermarkOnVideo", tr("How to Add a Watermark on Video"), tr("F1"),
        &VC::OnHowToAddWatermarkOnVideo);
    connect(addCommand(help, QStringLiteral("OnAbout"), tr("&About Tintreel"), {}), &QAction::triggered, this,
            [this] { showAboutBox(this); });
}

// The codec, quality, speed and size of the final movie, remembered between runs.
void MainWindow::addRenderSettingsCommand(QMenu* menu) {
    controller_->setRenderSettings(savedRenderSettings());
    QAction* settings = addCommand(menu, QStringLiteral("OnRenderSettings"), tr("Render &Settings..."),
                                   QKeySequence(tr("Ctrl+Shift+R")));
    connect(settings, &QAction::triggered, this, [this] {
        if (controller_->OnRenderSettings()) saveRenderSettings(controller_->renderSettings());
    });
}

// How large live playback works: one of four, Automatic by default.
void MainWindow::addPreviewScaleChoice(QMenu* view) {
    QMenu* menu = view->addMenu(tr("Preview &Scale"));
    auto* choices = new QActionGroup(menu);
    const std::pair<PreviewScale, QString> scales[] = {{PreviewScale::Full, tr("&Full")},
                                                       {PreviewScale::Half, tr("&Half")},
                                                       {PreviewScale::Quarter, tr("&Quarter")},
                                                       {PreviewScale::Automatic, tr("&Automatic")}};
    for (const auto& [scale, text] : scales) {
        QAction* action = choices->addAction(menu->addAction(text));
        action->setCheckable(true);
        action->setChecked(scale == controller_->previewScale());
        connect(action, &QAction::triggered, controller_,
                [this, scale] { controller_->setPreviewScale(scale); });
    }
}

// A checkable choice, remembered between runs: one pass over the movie per
// effect instead of all of them in one.
void MainWindow::addPassModeChoice(QMenu* menu) {
    QAction* each = addCommand(menu, QStringLiteral("OnRenderEachEffectInItsOwnPass"),
                               tr("Render &Each Effect in Its Own Pass"), {});
    each->setCheckable(true);
    controller_->setPassMode(savedPassMode());
    each->setChecked(controller_->passMode() == PassMode::Each);
    connect(each, &QAction::toggled, this, [this](bool checked) {
        const PassMode mode = checked ? PassMode::Each : PassMode::One;
        controller_->setPassMode(mode);
        savePassMode(mode);
    });
}

// File > Open Recent: the videos opened lately, newest first, rebuilt each
// time it opens so files removed meanwhile are not offered.
void MainWindow::addRecentVideos(QMenu* file) {
    QMenu* recent = file->addMenu(tr("Open &Recent"));
    recent->menuAction()->setObjectName(QStringLiteral("OnOpenRecent"));
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { fillRecentVideos(recent); });
    fillRecentVideos(recent);
}

void MainWindow::fillRecentVideos(QMenu* menu) {
    menu->clear();
    const QStringList paths = RecentVideos().paths();
    for (const QString& path : paths) {
        QAction* open = menu->addAction(QFileInfo(path).fileName());
        open->setToolTip(path);
        connect(open, &QAction::triggered, controller_, [this, path] { controller_->openVideo(path); });
    }
    if (paths.isEmpty()) menu->addAction(tr("No Recent Videos"))->setEnabled(false);
    menu->addSeparator();
    QAction* clear = menu->addAction(tr("&Clear Menu"));
    clear->setEnabled(!paths.isEmpty());
    connect(clear, &QAction::triggered, this, [] { RecentVideos().clear(); });
}

// A render can take minutes; a user who went to another window hears of its
// end: the window asks for attention and the desktop shows a notice.
void MainWindow::tellUserRenderEnded(bool succeeded) {
    if (isActiveWindow()) return;
    tellUser(this, succeeded ? tr("The render is done") : tr("The render ended without a movie"),
             windowTitle());
}

void MainWindow::tellUserBatchEnded(bool allSucceeded, const QString& summary) {
    if (batch_->isActiveWindow() || isActiveWindow()) return;
    tellUser(batch_,
             allSucceeded ? tr("The batch render is done") : tr("The batch render ended with problems"),
             summary);
}

void MainWindow::tellUser(QWidget* window, const QString& title, const QString& body) {
    QApplication::alert(window);
    showDesktopNotice(title, body);
}

QAction* MainWindow::command(const QString& name) const {
    return findChild<QAction*>(name);
}

void MainWindow::updateCommands() {
    // While a render runs only the render command (as Cancel), viewing and
    // help stay available: the rest would change what the render works on.
    const bool idle = !controller_->isRendering();
    command(QStringLiteral("OnUndo"))->setEnabled(idle && controller_->history().canUndo());
    command(QStringLiteral("OnRedo"))->setEnabled(idle && controller_->history().canRedo());
    for (const char* name : {"OnFileNew", "OnSelectVideo", "OnOpenRecent", "OnSaveVideo", "OnLoadProfile",
                             "OnSaveProfile", "OnSaveProfileAs", "OnZoomIn", "OnZoomOut", "OnResetZoom",
                             "OnActualPixels", "OnRenderSettings", "OnRenderEachEffectInItsOwnPass"})
        command(QString::fromLatin1(name))->setEnabled(idle);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (batch_ && batch_->isRunning() &&
        !dialogs_.question(tr("A batch render is still running. Do you want to cancel it and quit?"))) {
        event->ignore();
        return;
    }
    if (!controller_->windowShouldClose()) return event->ignore();
    // The batch window goes with the editor, its renders cancelled.
    if (batch_) {
        batch_->cancelAll();
        batch_->hide();
    }
    event->accept();
}

}  // namespace tintreel
