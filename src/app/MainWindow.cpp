#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>

#include "editor/ViewController.h"

namespace tintreel {

MainWindow::MainWindow(ViewController* controller) : controller_(controller) {
    setWindowTitle(QStringLiteral("Tintreel"));
    setCentralWidget(controller_);
    buildMenus();
    connect(controller_, &ViewController::titleChanged, this, &MainWindow::setWindowTitle);
    connect(controller_, &ViewController::commandsChanged, this, &MainWindow::updateCommands);
    updateCommands();
    resize(1280, 800);
    setMinimumSize(960, 640);
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& name, const QString& text,
                                const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    connect(addCommand(file, "OnFileNew", tr("&New"), QKeySequence(tr("Ctrl+N"))), &QAction::triggered, controller_,
            &ViewController::OnFileNew);
    file->addSeparator();
    addCommand(file, "OnLoadProfile", tr("&Load Profile..."), QKeySequence(tr("Ctrl+L")));
    addCommand(file, "OnSaveProfile", tr("Save &Profile"), QKeySequence(tr("Ctrl+Alt+S")));
    addCommand(file, "OnSaveProfileAs", tr("Save Profile &As..."), QKeySequence(tr("Ctrl+Alt+Shift+S")));
    file->addSeparator();
    connect(addCommand(file, "OnAppQuit", tr("&Quit"), QKeySequence(tr("Ctrl+Q"))), &QAction::triggered, controller_,
            &ViewController::OnAppQuit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    addCommand(edit, "OnUndo", tr("&Undo"), QKeySequence(tr("Ctrl+Z")));
    addCommand(edit, "OnRedo", tr("&Redo"), QKeySequence(tr("Ctrl+Shift+Z")));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    connect(addCommand(help, "OnHowToAddWatermarkOnVideo", tr("How to Add a Watermark on Video"),
                       QKeySequence(tr("F1"))),
            &QAction::triggered, controller_, &ViewController::OnHowToAddWatermarkOnVideo);
}

QAction* MainWindow::command(const QString& name) const { return findChild<QAction*>(name); }

void MainWindow::updateCommands() {
    // Undo, redo and profiles arrive with the editor's history commands.
    for (const char* name : {"OnUndo", "OnRedo", "OnLoadProfile", "OnSaveProfile", "OnSaveProfileAs"})
        command(QString::fromLatin1(name))->setEnabled(false);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (controller_->windowShouldClose()) event->accept();
    else event->ignore();
}

}  // namespace tintreel
