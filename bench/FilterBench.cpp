// Filter engine benchmarks: the still chain with everything off, each step
// alone at its default values, and every step on, on generated 1080p and
// 2160p pictures; a plain copy of the same picture is the baseline. Then the
// render's chain with the movie benchmarks' five looks, alone and with a
// 33^3 colour table: what the table adds to each frame of a render.
//
// Run: tintreel-filter-bench --benchmark_repetitions=5
//      --benchmark_report_aggregates_only=true   (medians are reported)
// "Time" is wall-clock time; "CPU" is the work of all threads of the process
// together, which says more than the wall clock on a machine others share.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/ControlCatalogue.h"
#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/ImageTools.h"

namespace tintreel {
namespace {

// A picture with gradients, hard edges and texture, so that no kernel meets
// a uniform input it could treat specially.
Image generatedPicture(int w, int h) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = img.pixel(x, y);
            const bool square = ((x / 97) + (y / 61)) % 2 == 0;
            p[0] = static_cast<std::uint8_t>(x * 255 / w);
            p[1] = static_cast<std::uint8_t>(square ? 200 : y * 255 / h);
            p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.03));
            p[3] = 255;
        }
    return img;
}

// The settings with one step switched on (adjustments moved off neutral).
EffectSettings withStep(EffectCode code) {
    EffectSettings s = defaultEffectSettings();
    switch (code) {
        case EffectCode::Brightness:
            s.sliderBrightness = 0.1f;
            break;
        case EffectCode::Exposure:
            s.sliderExposure = 0.5f;
            break;
        case EffectCode::Contrast:
            s.sliderContrast = 1.2f;
            break;
        case EffectCode::Saturation:
            s.sliderSaturation = 1.3f;
            break;
        case EffectCode::Gamma:
            s.sliderGamma = 1.2f;
            break;
        case EffectCode::Hue:
            s.sliderHue = 30.0f;
            break;
        case EffectCode::RGB:
            s.sliderRed = 1.1f;
            break;
        case EffectCode::BlackAndWhite:
            s.checkBlackWhite = 1;
            break;
        case EffectCode::Sepia:
            s.checkSepia = 1;
            break;
        case EffectCode::Cartoon:
            s.checkCartoon = 1;
            break;
        case EffectCode::OilPainting:
            s.checkOilPainting = 1;
            break;
        case EffectCode::Vignette:
            s.checkVignette = 1;
            break;
        case EffectCode::Pixellate:
            s.checkPixellate = 1;
            break;
        case EffectCode::Halftone:
            s.checkHalftone = 1;
            break;
        case EffectCode::Blur:
            s.checkBlur = 1;
            break;
        case EffectCode::CircleBlur:
            s.checkCircleBlur = 1;
            break;
        case EffectCode::FocusBlur:
            s.checkFocusBlur = 1;
            break;
        case EffectCode::MotionBlur:
            s.checkMotionBlur = 1;
            break;
        case EffectCode::ZoomBlur:
            s.checkZoomBlur = 1;
            break;
        case EffectCode::Transform3D:
            s.check3DTransform = 1, s.stepper3DTransform[15] = 1.25f;
            break;
        case EffectCode::Swirl:
            s.checkSwirl = 1;
            break;
        case EffectCode::GlassSphere:
            s.checkGlassSphere = 1;
            break;
        case EffectCode::TextWatermark:
            s.checkTextWatermark = 1;
            break;
        case EffectCode::ImageWatermark:
            s.checkImageWatermark = 1;
            break;
        case EffectCode::Scale:
            s.checkScale = 1, s.stepperScale = 80.0f;
            break;
        case EffectCode::Rotate:
            s.checkRotate = 1, s.sliderRotateAngle = 30.0f;
            break;
    }
    return s;
}

EffectSettings everythingOn() {
    EffectSettings s = defaultEffectSettings();
    s.sliderBrightness = 0.1f;
    s.sliderExposure = 0.5f, s.sliderContrast = 1.2f, s.sliderSaturation = 1.3f, s.sliderGamma = 1.2f;
    s.sliderHue = 30.0f, s.sliderRed = 1.1f;
    s.checkBlackWhite = s.checkSepia = s.checkCartoon = s.checkOilPainting = s.checkVignette = 1;
    s.checkPixellate = s.checkHalftone = s.checkBlur = s.checkCircleBlur = s.checkFocusBlur = 1;
    s.checkMotionBlur = s.checkZoomBlur = s.checkScale = s.checkRotate = s.check3DTransform = 1;
    s.checkSwirl = s.checkGlassSphere = s.checkTextWatermark = s.checkImageWatermark = 1;
    s.stepperScale = 80.0f, s.sliderRotateAngle = 30.0f;
    return s;
}

struct Frames {
    Image hd = generatedPicture(1920, 1080);
    Image uhd = generatedPicture(3840, 2160);
    Image logo = generatedPicture(400, 200);
    const Image& at(int height) const { return height == 1080 ? hd : uhd; }
};

const Frames& frames() {
    static const Frames f;
    return f;
}

void BM_Copy(benchmark::State& state) {
    const Image& input = frames().at(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Image copy = input;
        benchmark::DoNotOptimize(copy.data());
    }
}

void runChain(benchmark::State& state, const EffectSettings& settings) {
    const Image& input = frames().at(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Image out = ApplyEffectChain(settings, input, frames().logo, 0.0);
        benchmark::DoNotOptimize(out.data());
    }
}

// The movie benchmarks' five looks (bench/movie_common.sh), on the render's rules.
EffectSettings fiveLooks() {
    EffectSettings s = defaultEffectSettings();
    s.sliderBrightness = 0.1f;
    s.checkSepia = s.checkVignette = s.checkBlur = s.checkTextWatermark = 1;
    s.textFieldText = "Tintreel";
    return s;
}

// A 33^3 grade (gains, lift and a power per channel), written once to the
// temporary folder.
std::string gradeTable() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "tintreel-bench-grade33.cube";
        std::ofstream out(file);
        const int n = 33;
        out << "LUT_3D_SIZE " << n << "\n";
        const double gain[3] = {1.1, 0.95, 0.9}, lift[3] = {0.02, 0.0, -0.03}, power[3] = {0.9, 1.1, 1.2};
        for (int b = 0; b < n; ++b)
            for (int g = 0; g < n; ++g)
                for (int r = 0; r < n; ++r) {
                    const int level[3] = {r, g, b};
                    for (int c = 0; c < 3; ++c)
                        out << std::clamp(std::pow(std::max(level[c] / 32.0 * gain[c] + lift[c], 0.0), power[c]), 0.0, 1.0)
                            << (c < 2 ? ' ' : '\n');
                }
        return file.string();
    }();
    return path;
}

void runMovieChain(benchmark::State& state, const EffectSettings& settings) {
    const Image& input = frames().at(static_cast<int>(state.range(0)));
    EffectChain chain(settings, frames().logo, ChainRules::Movie);
    for (auto _ : state) {
        Image out = chain.apply(input, 0.0);
        benchmark::DoNotOptimize(out.data());
    }
}

void registerAll() {
    auto sizes = [](benchmark::internal::Benchmark* b) {
        b->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
    };
    sizes(benchmark::RegisterBenchmark("Copy", BM_Copy));
    sizes(benchmark::RegisterBenchmark("ChainAllOff",
                                       [](benchmark::State& st) { runChain(st, defaultEffectSettings()); }));
    for (const EffectStep& step : effectSteps()) {
        std::string name = "Step" + std::to_string(static_cast<int>(step.code)) + "_" +
                           std::string(progressPhrase(step.code));
        name.erase(name.find("..."));
        for (char& c : name)
            if (c == ' ' || c == '&') c = '_';
        const EffectSettings settings = withStep(step.code);
        sizes(benchmark::RegisterBenchmark(name.c_str(),
                                           [settings](benchmark::State& st) { runChain(st, settings); }));
    }
    sizes(benchmark::RegisterBenchmark("ChainAllOn",
                                       [](benchmark::State& st) { runChain(st, everythingOn()); }));
    sizes(benchmark::RegisterBenchmark("MovieFiveLooks",
                                       [](benchmark::State& st) { runMovieChain(st, fiveLooks()); }));
    sizes(benchmark::RegisterBenchmark("MovieFiveLooksAndTable", [](benchmark::State& st) {
        EffectSettings s = fiveLooks();
        s.checkColorTable = 1;
        s.textFieldColorTable = gradeTable();
        runMovieChain(st, s);
    }));
}

}  // namespace
}  // namespace tintreel

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for the text watermark
    tintreel::registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
