#pragma once
// Fixtures for the colour table tests: a photograph-like picture made by
// ffmpeg, tables baked by OpenColorIO's own tool from known transforms, and
// what ffmpeg's table filters make of the same picture: judges we did not
// write.

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/filters/Image.h"
#include "support/Clips.h"

namespace tintreel::test {

inline std::string shellQuoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// A 320x240 frame of ffmpeg's moving test pattern with grain, as a PNG in `dir`.
inline std::filesystem::path photoLikePicture(const std::filesystem::path& dir) {
    const std::filesystem::path png = dir / "photo.png";
    runCommand(
        "ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=s=320x240:d=1,noise=alls=14:allf=t "
        "-frames:v 1 -pix_fmt rgb24 " +
        shellQuoted(png));
    return png;
}

// A .cube of `size` baked by ociobakelut from its `transform` options.
inline std::filesystem::path bakedTable(const std::filesystem::path& dir, const std::string& name,
                                        const std::string& transform, int size) {
    const std::filesystem::path cube = dir / (name + std::to_string(size) + ".cube");
    runCommand("cd " + shellQuoted(dir) + " && ociobakelut " + transform +
               " --format iridas_cube --cubesize " + std::to_string(size) + " " + shellQuoted(cube) +
               " >/dev/null 2>&1");
    return cube;
}

// The peak signal-to-noise ratio of the colour channels of two pictures of
// one size, in dB; 99 for equal pictures.
inline double colourPsnr(const Image& a, const Image& b) {
    double sum = 0;
    long count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int c = 0; c < 3; ++c, ++count) {
                const double d = a.pixel(x, y)[c] - b.pixel(x, y)[c];
                sum += d * d;
            }
    if (sum == 0 || count == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(count)));
}

}  // namespace tintreel::test
