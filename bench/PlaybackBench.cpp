// Live playback of a 1080p movie with five looks on, in the real window
// offscreen, at each preview scale: frames shown per second, frames dropped,
// how far the picture strays from the clock, how long the first frame and a
// seek take, the longest the GUI thread is busy with one event (every event
// delivered is timed through QApplication::notify) and the memory playback
// takes above the idle editor.
//
//   tintreel-playback-bench CLIP [SECONDS]
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "EditorBench.h"
#include "editor/ViewController.h"
#include "platform/ui/FloatSlider.h"
#include "preview/PlaybackEngine.h"

namespace {

using namespace tintreel;
using namespace tintreel::bench;

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void switchOnLooks(ViewController& controller) {
    const Outlets& outlets = controller.outlets();
    outlets.get<FloatSlider>("sliderBrightness")->setFloatValue(0.1f);
    for (const char* check : {"checkSepia", "checkVignette", "checkBlur", "checkTextWatermark"})
        outlets.get<QAbstractButton>(check)->click();
    outlets.get<FloatSlider>("sliderBlurIntensity")->setFloatValue(3.0f);
}

struct Case {
    const char* name;
    PreviewScale scale;
};

// Plays the movie for `seconds` from its start, then seeks ten times.
void runCase(TimedApplication& app, ViewController& controller, const Case& c, double seconds,
             double idleMb) {
    controller.setPreviewScale(c.scale);
    // Every case plays the whole run from the first frame, as Home then Space would.
    QTest::keyClick(controller.findChild<QWidget*>(QStringLiteral("timelineBrowse")), Qt::Key_Home);
    QTest::qWaitFor([&] { return !controller.browse().running && !controller.refresh().running; }, 60000);
    std::vector<double> distances;
    double peakMb = residentMegabytes();
    QElapsedTimer sinceRequest;
    double firstFrameMs = -1, lastSeekMs = -1;
    bool awaitingSeek = false;
    auto connection =
        QObject::connect(&controller, &ViewController::playbackPositionChanged, [&](double at, qint64) {
            if (firstFrameMs < 0)
                firstFrameMs = sinceRequest.nsecsElapsed() / 1e6;
            else if (!awaitingSeek)
                distances.push_back(std::abs(controller.playbackEngine()->clock().now() - at) * 1000);
            if (awaitingSeek) lastSeekMs = sinceRequest.nsecsElapsed() / 1e6;
            awaitingSeek = false;
        });
    app.slowest = 0;
    app.recording = true;
    sinceRequest.start();
    controller.togglePlayback();
    PlaybackEngine& engine = *controller.playbackEngine();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < seconds * 1000 && engine.isPlaying()) {
        QTest::qWait(200);
        peakMb = std::max(peakMb, residentMegabytes());
    }
    const PlaybackStats played = engine.stats();
    const double playedSeconds = wall.elapsed() / 1000.0 - firstFrameMs / 1000.0;
    const double blockedMs = app.slowest;
    std::mt19937 random(7);
    std::vector<double> seeks;
    if (!engine.isPlaying()) controller.togglePlayback();  // the movie ended first: from its start again
    for (int i = 0; i < 10 && engine.isPlaying(); ++i) {
        awaitingSeek = true;
        sinceRequest.restart();
        engine.play(std::uniform_real_distribution<double>(0, seconds * 0.9)(random));
        QTest::qWaitFor([&] { return !awaitingSeek; }, 5000);
        seeks.push_back(lastSeekMs);
        QTest::qWait(300);
    }
    app.recording = false;
    const char* clockName = engine.clock().name();
    if (controller.isPlaying()) controller.togglePlayback();
    QTest::qWait(500);
    QObject::disconnect(connection);
    double sum = 0;
    for (double d : distances) sum += d;
    std::printf(
        "playback scale=%s fps=%.2f dropped=%.1f%% av_max_ms=%.0f av_mean_ms=%.0f first_frame_ms=%.0f "
        "seek_ms=%.0f "
        "gui_block_max_ms=%.0f rss_mb=%.0f\n",
        c.name, played.shown / std::max(0.001, playedSeconds),
        100.0 * played.dropped / std::max<long long>(1, played.shown + played.dropped),
        distances.empty() ? 0 : *std::max_element(distances.begin(), distances.end()),
        distances.empty() ? 0 : sum / distances.size(), firstFrameMs, median(seeks), blockedMs,
        peakMb - idleMb);
    std::printf("  clock=%s shown=%lld dropped=%lld mean_frame_ms=%.1f final_scale=%s\n", clockName,
                played.shown, played.dropped, played.meanFrameMs, qPrintable(scaleName(engine.shrink())));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    app.outermostOnly = true;
    if (argc < 2) {
        std::fprintf(stderr, "usage: tintreel-playback-bench CLIP [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    BenchEditor editor(argv[1]);
    if (!editor.load(60000)) return 1;
    ViewController* controller = &editor.controller();
    switchOnLooks(*controller);
    QTest::qWaitFor([&] { return !controller->refresh().running; }, 60000);
    QTest::qWait(500);
    const double idleMb = residentMegabytes();
    for (const Case& c : {Case{"half", PreviewScale::Half}, Case{"quarter", PreviewScale::Quarter},
                          Case{"full", PreviewScale::Full}, Case{"auto", PreviewScale::Automatic}})
        runCase(app, *controller, c, seconds, idleMb);
    return 0;
}
