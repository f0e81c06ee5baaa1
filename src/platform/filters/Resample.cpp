#include "platform/filters/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/filters/Parallel.h"

namespace tintreel {
namespace {

// The source samples that make one output sample, and their weights.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

// For each of `outSize` samples over `inSize` source samples: the triangle
// kernel, widened by the shrink factor, normalised to sum 1. Samples beyond
// the span are left out, as a separate picture of the span would have none.
std::vector<Taps> tapsFor(int inSize, int outSize) {
    const double ratio = static_cast<double>(inSize) / outSize;
    const double support = std::max(1.0, ratio);
    std::vector<Taps> taps(static_cast<std::size_t>(outSize));
    for (int i = 0; i < outSize; ++i) {
        const double centre = (i + 0.5) * ratio - 0.5;
        const int low = std::max(0, static_cast<int>(std::floor(centre - support)) + 1);
        const int high = std::min(inSize - 1, static_cast<int>(std::ceil(centre + support)) - 1);
        Taps& t = taps[static_cast<std::size_t>(i)];
        t.first = low;
        float sum = 0;
        for (int s = low; s <= high; ++s) {
            const float w = static_cast<float>(std::max(0.0, 1.0 - std::abs(s - centre) / support));
            t.weights.push_back(w);
            sum += w;
        }
        if (sum <= 0) {  // a sample between two pixels at the picture's edge
            t.first = std::clamp(static_cast<int>(std::lround(centre)), 0, inSize - 1);
            t.weights.assign(1, 1.0f);
            sum = 1;
        }
        for (float& w : t.weights) w /= sum;
    }
    return taps;
}

std::uint8_t toByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// Rows of `from` resampled to `width` columns, kept in float for the second pass.
std::vector<float> resampleRows(const Image& image, const PixelRect& from, int width) {
    const std::vector<Taps> taps = tapsFor(from.width, width);
    std::vector<float> rows(static_cast<std::size_t>(width) * from.height * Image::kChannels);
    forEachRowBlock(from.height, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* source =
                image.row(from.y + y) + static_cast<std::size_t>(from.x) * Image::kChannels;
            float* out = rows.data() + static_cast<std::size_t>(y) * width * Image::kChannels;
            for (int x = 0; x < width; ++x) {
                const Taps& t = taps[static_cast<std::size_t>(x)];
                float sum[Image::kChannels] = {};
                for (std::size_t k = 0; k < t.weights.size(); ++k) {
                    const std::uint8_t* p = source + (t.first + static_cast<int>(k)) * Image::kChannels;
                    for (int c = 0; c < Image::kChannels; ++c) sum[c] += t.weights[k] * p[c];
                }
                std::memcpy(out + x * Image::kChannels, sum, sizeof sum);
            }
        }
    });
    return rows;
}

}  // namespace

bool fitsInside(const PixelRect& rect, int width, int height) {
    return rect.width > 0 && rect.height > 0 && rect.x >= 0 && rect.y >= 0 &&
           static_cast<long long>(rect.x) + rect.width <= width &&
           static_cast<long long>(rect.y) + rect.height <= height;
}

Image cropped(const Image& image, const PixelRect& rect) {
    Image out = Image::forOverwrite(rect.width, rect.height);
    const std::size_t bytes = out.stride();
    for (int y = 0; y < rect.height; ++y)
        std::memcpy(out.row(y), image.row(rect.y + y) + static_cast<std::size_t>(rect.x) * Image::kChannels,
                    bytes);
    return out;
}

Image flipped(const Image& image, bool horizontal, bool vertical) {
    if (!horizontal && !vertical) return image;
    Image out = Image::forOverwrite(image.width(), image.height());
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* source = image.row(vertical ? image.height() - 1 - y : y);
        std::uint8_t* target = out.row(y);
        if (!horizontal) {
            std::memcpy(target, source, image.stride());
            continue;
        }
        for (int x = 0; x < w; ++x)
            std::memcpy(target + x * Image::kChannels, source + (w - 1 - x) * Image::kChannels,
                        Image::kChannels);
    }
    return out;
}

Image resampled(const Image& image, const PixelRect& from, int width, int height) {
    if (from.width == width && from.height == height) return cropped(image, from);
    const std::vector<float> rows = resampleRows(image, from, width);
    const std::vector<Taps> taps = tapsFor(from.height, height);
    Image out = Image::forOverwrite(width, height);
    const std::size_t rowFloats = static_cast<std::size_t>(width) * Image::kChannels;
    forEachRowBlock(height, [&](int y0, int y1) {
        std::vector<float> sum(rowFloats);
        for (int y = y0; y < y1; ++y) {
            const Taps& t = taps[static_cast<std::size_t>(y)];
            std::fill(sum.begin(), sum.end(), 0.0f);
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                const float* source = rows.data() + (t.first + k) * rowFloats;
                for (std::size_t i = 0; i < rowFloats; ++i) sum[i] += t.weights[k] * source[i];
            }
            std::uint8_t* target = out.row(y);
            for (std::size_t i = 0; i < rowFloats; ++i) target[i] = toByte(sum[i]);
        }
    });
    return out;
}

void darken(Image& image, float factor) {
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = image.row(y);
        for (int x = 0; x < image.width() * Image::kChannels; ++x)
            if (x % Image::kChannels != 3) row[x] = toByte(row[x] * factor);
    }
}

void paste(Image& canvas, const Image& picture, int x, int y) {
    const int left = std::max(0, x), right = std::min(canvas.width(), x + picture.width());
    if (left >= right) return;
    const std::size_t bytes = static_cast<std::size_t>(right - left) * Image::kChannels;
    for (int row = std::max(0, y); row < std::min(canvas.height(), y + picture.height()); ++row)
        std::memcpy(canvas.row(row) + static_cast<std::size_t>(left) * Image::kChannels,
                    picture.row(row - y) + static_cast<std::size_t>(left - x) * Image::kChannels, bytes);
}

Image filled(int width, int height, const std::array<std::uint8_t, 3>& rgb) {
    Image out = Image::forOverwrite(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = out.row(y);
        for (int x = 0; x < width; ++x) {
            std::memcpy(row + x * Image::kChannels, rgb.data(), 3);
            row[x * Image::kChannels + 3] = 255;
        }
    }
    return out;
}

}  // namespace tintreel
