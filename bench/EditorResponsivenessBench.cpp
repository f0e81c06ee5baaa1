// How responsive the editor stays while a slider is dragged over a 1080p
// frame: the real window offscreen, a slider moved every 16 ms for a few
// seconds, and every event the GUI thread handles timed. Reports the
// longest and typical time the GUI thread is blocked, how many refreshes
// were shown per second, and the still chain alone in the same run.
//
//   tintreel-editor-bench CLIP [SECONDS]
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "EditorBench.h"
#include "editor/ViewController.h"
#include "imaging/ImageTools.h"
#include "platform/ui/FloatSlider.h"

namespace {

using namespace tintreel;
using namespace tintreel::bench;

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tintreel-editor-bench CLIP [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;
    BenchEditor editor(argv[1]);
    if (!editor.load(30000)) return 1;
    ViewController* controller = &editor.controller();

    auto* slider = controller->outlets().get<FloatSlider>("sliderSepiaIntensity");
    controller->outlets().get<QAbstractButton>("checkSepia")->click();
    QTest::qWait(500);
    int shown = 0;
    QObject::connect(controller, &ViewController::previewShown, [&] { ++shown; });
    app.recording = true;
    QElapsedTimer clock;
    clock.start();
    for (int step = 0; clock.elapsed() < seconds * 1000; ++step) {
        slider->triggerAction(step % 200 < 100 ? QAbstractSlider::SliderSingleStepSub
                                               : QAbstractSlider::SliderSingleStepAdd);
        QTest::qWait(16);
    }
    const double elapsed = clock.elapsed() / 1000.0;
    app.recording = false;
    QTest::qWaitFor([&] { return !controller->refresh().running; }, 10000);

    const Image& frame = *controller->snapshot();
    const EffectSettings settings = controller->currentSettings();
    std::vector<double> chain;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        (void)ApplyEffectChain(settings, frame, *controller->logo(), 0.0);
        chain.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("frame %dx%d, drag %.1f s\n", frame.width(), frame.height(), elapsed);
    std::printf("GUI thread blocked per event: median %.2f ms, p99 %.2f ms, max %.2f ms (%zu events)\n",
                percentile(app.durations, 0.5), percentile(app.durations, 0.99),
                percentile(app.durations, 1.0), app.durations.size());
    std::printf("slowest: %s\n", qPrintable(app.slowestWhat));
    std::printf("refreshes shown: %d (%.1f per second)\n", shown, shown / elapsed);
    std::printf("still chain alone (sepia on): median %.1f ms\n", percentile(chain, 0.5));
    return 0;
}
