#pragma once
// What the editor benchmarks share: an application that times the events the
// GUI thread handles, dialogs that answer the open panel with the clip, and
// the real window offscreen with that clip loaded.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/MainWindow.h"
#include "editor/ViewController.h"
#include "platform/system/TemporaryDirectory.h"
#include "platform/ui/Dialogs.h"

namespace tintreel::bench {

// Times the events delivered while `recording` is on: every one, or with
// `outermostOnly` only those the event loop delivers (a handler's own
// nested deliveries count as part of it).
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (!recording || (outermostOnly && depth_ > 0)) return QApplication::notify(receiver, event);
        QElapsedTimer timer;
        timer.start();
        ++depth_;
        const bool handled = QApplication::notify(receiver, event);
        --depth_;
        const double ms = timer.nsecsElapsed() / 1e6;
        durations.push_back(ms);
        if (ms > slowest) {
            slowest = ms;
            slowestWhat =
                QString("%1 event %2").arg(receiver->metaObject()->className()).arg(int(event->type()));
        }
        return handled;
    }
    bool recording = false;
    bool outermostOnly = false;
    std::vector<double> durations;  // milliseconds per event
    double slowest = 0;
    QString slowestWhat;

private:
    int depth_ = 0;
};

// Answers the open panel with the clip; everything else is declined.
class BenchDialogs : public Dialogs {
public:
    explicit BenchDialogs(QString clip) : clip_(std::move(clip)) {}
    void alert(const QString& text, AlertStyle, const QString& detail) override {
        std::fprintf(stderr, "alert: %s %s\n", qPrintable(text), qPrintable(detail));
    }
    bool question(const QString&) override { return true; }
    std::optional<QString> openFile(const QString&, const QStringList&, const QString&) override {
        return clip_;
    }
    QStringList openFiles(const QString&, const QStringList&, const QString&) override { return {}; }
    std::optional<QString> chooseFolder(const QString&, const QString&) override { return {}; }
    std::optional<QString> saveFile(const QString&, const QString&, const QStringList&) override {
        return {};
    }
    std::optional<QColor> chooseColor(const QColor&) override { return {}; }
    std::optional<RenderSettings> editRenderSettings(const RenderSettings&) override { return {}; }
    void openUrl(const QUrl&) override {}
    bool offerSessionRestore(const QString&) override { return false; }

private:
    QString clip_;
};

// The editor window, shown at 1280x800 offscreen, with `clip` loaded.
class BenchEditor {
public:
    explicit BenchEditor(const char* clip)
        : dialogs_(QString::fromLocal8Bit(clip)),
          window_(new ViewController(directory_->path(), dialogs_), dialogs_) {
        window_.resize(1280, 800);
        window_.show();
    }
    ViewController& controller() { return *window_.controller(); }
    // Opens the clip and waits for its still; false when it did not come within `timeoutMs`.
    bool load(int timeoutMs) {
        ViewController& c = controller();
        c.OnSelectVideo();
        return QTest::qWaitFor([&] { return !c.snapshot()->isEmpty() && !c.refresh().running; }, timeoutMs);
    }

private:
    std::optional<TemporaryDirectory> directory_ = TemporaryDirectory::create();
    BenchDialogs dialogs_;
    MainWindow window_;
};

}  // namespace tintreel::bench
