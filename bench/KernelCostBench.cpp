// CPU time of our filter kernels per frame, for the comparison with the
// ffmpeg program's filters in bench/kernel_bench.sh: the frames are raw RGBA
// read from a file (the script decodes them once with ffmpeg, so both sides
// filter the same pictures), each case is applied to them round-robin, and
// the process's CPU time over all threads (getrusage: user + system) around
// the applications is divided by their count.
//
// usage: tintreel-kernel-bench FRAMES.rgba WIDTH HEIGHT APPLICATIONS CASE [THREADS]
// CASE: sepia | blur (sigma 3) | blur1 | blur5 | blur7 | blur10 | blur30 (sigma 1 ... 30) |
// vignette | rotation | eq (brightness, contrast and saturation one after
// another) | lut (the colour table named by KERNEL_LUT, through our kernel)
// | lut-ocio (the same table through OpenColorIO's own CPU processor, with
// tetrahedral interpolation, on the same row blocks). THREADS caps oneTBB's
// workers (default: all).
// Prints "CASE MILLISECONDS_PER_FRAME".
#include <OpenColorIO/OpenColorIO.h>
#include <sys/resource.h>
#include <tbb/global_control.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "platform/filters/BlurFilters.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/ColorTable.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/Parallel.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {
namespace {

using Kernel = std::function<Image(const Image&)>;
namespace OCIO = OCIO_NAMESPACE;

std::string tableFile() {
    const char* file = std::getenv("KERNEL_LUT");
    return file ? file : "";
}

// Our kernel over the table baked once, as a render does.
Kernel colorTableKernel() {
    auto table = ColorTable::load(tableFile());
    if (!table) return [](const Image&) { return Image(); };
    ColorTableFilter filter;
    filter.setTable(*table);
    return [filter](const Image& f) { return filter.apply(f); };
}

// OpenColorIO's processor for 8-bit RGBA, applied to the same row blocks.
// Nothing (an empty result, which fails the run) without a readable table.
Kernel openColorIoKernel() {
    if (tableFile().empty()) return [](const Image&) { return Image(); };
    const auto file = OCIO::FileTransform::Create();
    file->setSrc(tableFile().c_str());
    file->setInterpolation(OCIO::INTERP_TETRAHEDRAL);
    const auto cpu = OCIO::Config::CreateRaw()->getProcessor(file)->getOptimizedCPUProcessor(
        OCIO::BIT_DEPTH_UINT8, OCIO::BIT_DEPTH_UINT8, OCIO::OPTIMIZATION_DEFAULT);
    return [cpu](const Image& in) {
        Image out = Image::forOverwrite(in.width(), in.height());
        forEachRowBlock(in.height(), [&](int y0, int y1) {
            const auto stride = static_cast<std::ptrdiff_t>(in.stride());
            OCIO::PackedImageDesc source(const_cast<std::uint8_t*>(in.row(y0)), in.width(), y1 - y0, 4,
                                         OCIO::BIT_DEPTH_UINT8, 1, 4, stride);
            OCIO::PackedImageDesc target(out.row(y0), in.width(), y1 - y0, 4, OCIO::BIT_DEPTH_UINT8, 1, 4,
                                         stride);
            cpu->apply(source, target);
        });
        return out;
    };
}

// Settings that match the ffmpeg side of each pair in kernel_bench.sh.
std::map<std::string, Kernel> kernels() {
    SepiaFilter sepia;  // intensity 1: the plain sepia matrix
    const auto blur = [](double sigma) {
        GaussianBlurFilter filter;
        filter.setBlurRadiusInPixels(sigma);
        return [filter](const Image& f) { return filter.apply(f); };
    };
    VignetteFilter vignette;  // the catalogue's default radius 0 gives start 0.5, end 0.75
    vignette.setVignetteStart(0.5);
    vignette.setVignetteEnd(0.75);
    TransformFilter rotation;  // 30 degrees, as the rotate step builds it
    Transform3D turn = Transform3D::identity();
    const double a = 30.0 * std::numbers::pi / 180.0;
    turn.at(1, 1) = turn.at(2, 2) = std::cos(a);
    turn.at(1, 2) = std::sin(a), turn.at(2, 1) = -std::sin(a);
    rotation.setTransform3D(turn);
    BrightnessFilter brightness;
    brightness.setBrightness(0.1);
    ContrastFilter contrast;
    contrast.setContrast(1.2);
    SaturationFilter saturation;
    saturation.setSaturation(1.3);
    return {
        {"sepia", [sepia](const Image& f) { return sepia.apply(f); }},
        {"blur", blur(3.0)},  // the catalogue's default blur radius
        {"blur1", blur(1.0)},
        {"blur5", blur(5.0)},
        {"blur7", blur(7.0)},
        {"blur10", blur(10.0)},
        {"blur30", blur(30.0)},
        {"vignette", [vignette](const Image& f) { return vignette.apply(f); }},
        {"rotation", [rotation](const Image& f) { return rotation.apply(f); }},
        {"eq", [=](const Image& f) { return saturation.apply(contrast.apply(brightness.apply(f))); }},
        {"lut", colorTableKernel()},
        {"lut-ocio", openColorIoKernel()},
    };
}

std::vector<Image> readFrames(const std::string& path, int width, int height) {
    std::ifstream file(path, std::ios::binary);
    std::vector<Image> frames;
    while (file) {
        Image frame = Image::forOverwrite(width, height);
        if (!file.read(reinterpret_cast<char*>(frame.data()),
                       static_cast<std::streamsize>(frame.byteCount())))
            break;
        frames.push_back(std::move(frame));
    }
    return frames;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int run(int argc, char** argv) {
    if (argc < 6) {
        std::cerr << "usage: tintreel-kernel-bench FRAMES.rgba WIDTH HEIGHT APPLICATIONS CASE [THREADS]\n";
        return 2;
    }
    const int width = std::stoi(argv[2]), height = std::stoi(argv[3]), applications = std::stoi(argv[4]);
    const auto all = kernels();
    const auto kernel = all.find(argv[5]);
    if (kernel == all.end() || width <= 0 || height <= 0 || applications <= 0) {
        std::cerr << "unknown case or bad size\n";
        return 2;
    }
    std::unique_ptr<tbb::global_control> cap;
    if (argc > 6)
        cap = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                    std::stoul(argv[6]));
    const std::vector<Image> frames = readFrames(argv[1], width, height);
    if (frames.empty()) {
        std::cerr << "no frame in " << argv[1] << "\n";
        return 1;
    }
    kernel->second(frames[0]);  // warm: the thread pool, the frame pool, the caches
    const double start = processCpuSeconds();
    for (int i = 0; i < applications; ++i) {
        const Image out = kernel->second(frames[static_cast<std::size_t>(i) % frames.size()]);
        if (out.isEmpty()) return 1;
    }
    const double spent = processCpuSeconds() - start;
    std::printf("%s %.3f\n", argv[5], spent * 1000.0 / applications);
    return 0;
}

}  // namespace
}  // namespace tintreel

int main(int argc, char** argv) {
    return tintreel::run(argc, argv);
}
