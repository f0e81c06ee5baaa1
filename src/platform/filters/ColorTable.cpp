#include "platform/filters/ColorTable.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TINTREEL_GATHER_KERNEL 1
#endif

namespace tintreel {

bool hasColorTableExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    if (extension.size() < 2) return false;
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kColorTableExtensions.begin(), kColorTableExtensions.end(), extension.substr(1)) !=
           kColorTableExtensions.end();
}

namespace {

using Node = ColorTable::Node;

// Tetrahedral interpolation in the grid cell at `base`: the cube is cut into
// six tetrahedra along its main diagonal and the one holding the point is
// chosen by the order of the three fractions. The order is found with
// selects rather than branches: on real pictures it changes from pixel to
// pixel, and a mispredicted branch costs more than the cell's arithmetic.
// The three channels of a node are one vector, so each corner costs one
// load and one multiply-add.
Node tetrahedral(const Node* grid, std::uint32_t base, const std::uint32_t step[3], const float d[3]) {
    float hi = d[0], mid = d[1], lo = d[2];
    std::uint32_t stepHi = step[0], stepMid = step[1], stepLo = step[2];
    const auto order = [](float& a, std::uint32_t& sa, float& b, std::uint32_t& sb) {
        const bool swap = b > a;
        const float big = swap ? b : a, small = swap ? a : b;
        const std::uint32_t bigStep = swap ? sb : sa, smallStep = swap ? sa : sb;
        a = big, b = small, sa = bigStep, sb = smallStep;
    };
    order(hi, stepHi, mid, stepMid);
    order(mid, stepMid, lo, stepLo);
    order(hi, stepHi, mid, stepMid);
    const std::uint32_t first = base + stepHi, second = first + stepMid;
    return grid[base] * (1 - hi) + grid[first] * (hi - mid) + grid[second] * (mid - lo) +
           grid[second + stepLo] * lo;
}

// `level` mixed towards `target` (in [0, 1]) by `strength`, to the nearest level.
std::uint8_t mixed(std::uint8_t level, float target, float strength) {
    const float value = level + (target * 255.0f - level) * strength;
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

using Lanes = std::int32_t __attribute__((vector_size(16)));

// The pixel's three levels mixed towards `target` by `strength`, as `mixed`
// does for one, in one vector.
void storeMixed(const std::uint8_t* in, std::uint8_t* out, Node target, float strength) {
    const Node level{static_cast<float>(in[0]), static_cast<float>(in[1]), static_cast<float>(in[2]), 0.0f};
    const Node zero{}, top = zero + 255.0f;
    Node value = level + (target * 255.0f - level) * strength;
    value = value < zero ? zero : value;
    value = value > top ? top : value;
    const Lanes rounded = __builtin_convertvector(value + 0.5f, Lanes);
    out[0] = static_cast<std::uint8_t>(rounded[0]);
    out[1] = static_cast<std::uint8_t>(rounded[1]);
    out[2] = static_cast<std::uint8_t>(rounded[2]);
    out[3] = in[3];
}

void applyGridRow(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out, int width,
                  float strength) {
    const auto& places = table.places();
    const Node* grid = table.nodes();
    for (int x = 0; x < width; ++x, in += Image::kChannels, out += Image::kChannels) {
        const std::uint8_t r = in[0], g = in[1], b = in[2];
        const std::uint32_t base = places[0].below[r] + places[1].below[g] + places[2].below[b];
        const std::uint32_t step[3] = {places[0].step[r], places[1].step[g], places[2].step[b]};
        const float d[3] = {places[0].fraction[r], places[1].fraction[g], places[2].fraction[b]};
        storeMixed(in, out, tetrahedral(grid, base, step, d), strength);
    }
}

#ifdef TINTREEL_GATHER_KERNEL
// The same arithmetic, in the same order, on eight pixels at once: AVX2
// gathers fetch each pixel's places and corners, so the picture is the one
// applyGridRow makes, bit for bit; the row's last few pixels go through it.
__attribute__((target("avx2"))) inline void orderPair(__m256& a, __m256i& stepA, __m256& b, __m256i& stepB) {
    const __m256 swap = _mm256_cmp_ps(b, a, _CMP_GT_OQ);
    const __m256i swapLanes = _mm256_castps_si256(swap);
    const __m256 big = _mm256_blendv_ps(a, b, swap), small = _mm256_blendv_ps(b, a, swap);
    const __m256i bigStep = _mm256_blendv_epi8(stepA, stepB, swapLanes);
    const __m256i smallStep = _mm256_blendv_epi8(stepB, stepA, swapLanes);
    a = big, b = small, stepA = bigStep, stepB = smallStep;
}

__attribute__((target("avx2"))) inline __m256i gatherLevels(const std::array<std::uint32_t, 256>& values,
                                                             __m256i levels) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(values.data()), levels, 4);
}

__attribute__((target("avx2"))) void applyGridRowWide(const ColorTable& table, const std::uint8_t* in,
                                                      std::uint8_t* out, int width, float strength) {
    const auto& places = table.places();
    const float* grid = reinterpret_cast<const float*>(table.nodes());
    const __m256i byte = _mm256_set1_epi32(0xff);
    const __m256 one = _mm256_set1_ps(1.0f), top = _mm256_set1_ps(255.0f), zero = _mm256_setzero_ps(),
                 half = _mm256_set1_ps(0.5f), mix = _mm256_set1_ps(strength);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + Image::kChannels * x));
        const __m256i level[3] = {_mm256_and_si256(pixels, byte),
                                  _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byte),
                                  _mm256_and_si256(_mm256_srli_epi32(pixels, 16), byte)};
        __m256i base = _mm256_setzero_si256(), step[3];
        __m256 d[3];
        for (int c = 0; c < 3; ++c) {
            base = _mm256_add_epi32(base, gatherLevels(places[c].below, level[c]));
            step[c] = gatherLevels(places[c].step, level[c]);
            d[c] = _mm256_i32gather_ps(places[c].fraction.data(), level[c], 4);
        }
        orderPair(d[0], step[0], d[1], step[1]);
        orderPair(d[1], step[1], d[2], step[2]);
        orderPair(d[0], step[0], d[1], step[1]);
        const __m256i first = _mm256_add_epi32(base, step[0]), second = _mm256_add_epi32(first, step[1]);
        // Float offsets of the four corners: a node is four floats.
        const __m256i corner[4] = {_mm256_slli_epi32(base, 2), _mm256_slli_epi32(first, 2),
                                   _mm256_slli_epi32(second, 2),
                                   _mm256_slli_epi32(_mm256_add_epi32(second, step[2]), 2)};
        const __m256 weight[4] = {_mm256_sub_ps(one, d[0]), _mm256_sub_ps(d[0], d[1]), _mm256_sub_ps(d[1], d[2]),
                                  d[2]};
        __m256i result = _mm256_andnot_si256(_mm256_set1_epi32(0x00ffffff), pixels);  // alpha as it was
        for (int c = 0; c < 3; ++c) {
            __m256 target = _mm256_mul_ps(_mm256_i32gather_ps(grid + c, corner[0], 4), weight[0]);
            for (int k = 1; k < 4; ++k)
                target = _mm256_add_ps(target, _mm256_mul_ps(_mm256_i32gather_ps(grid + c, corner[k], 4), weight[k]));
            const __m256 own = _mm256_cvtepi32_ps(level[c]);
            __m256 value = _mm256_add_ps(own, _mm256_mul_ps(_mm256_sub_ps(_mm256_mul_ps(target, top), own), mix));
            value = _mm256_min_ps(_mm256_max_ps(value, zero), top);
            const __m256i rounded = _mm256_cvttps_epi32(_mm256_add_ps(value, half));
            result = _mm256_or_si256(result, _mm256_slli_epi32(rounded, 8 * c));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + Image::kChannels * x), result);
    }
    if (x < width)
        applyGridRow(table, in + Image::kChannels * x, out + Image::kChannels * x, width - x, strength);
}
#endif

// The grid kernel this processor runs fastest.
using GridRow = void (*)(const ColorTable&, const std::uint8_t*, std::uint8_t*, int, float);
GridRow fastestGridRow() {
#ifdef TINTREEL_GATHER_KERNEL
    if (__builtin_cpu_supports("avx2")) return applyGridRowWide;
#endif
    return applyGridRow;
}

void applyCurveRow(const ColorTable& table, const std::uint8_t* in, std::uint8_t* out, int width,
                   float strength) {
    const auto& curves = table.curves();
    for (int x = 0; x < width; ++x, in += Image::kChannels, out += Image::kChannels) {
        for (int c = 0; c < 3; ++c) out[c] = mixed(in[c], curves[c][in[c]], strength);
        out[3] = in[3];
    }
}

}  // namespace

ColorTable::ColorTable(std::array<ChannelCurve, 3> curves, int gridSize, std::vector<float> grid)
    : curves_(curves), gridSize_(grid.empty() ? 0 : gridSize), grid_(std::move(grid)) {
    if (gridSize_ < 2) return;
    const auto top = static_cast<float>(gridSize_ - 1);
    const std::uint32_t n = static_cast<std::uint32_t>(gridSize_);
    const std::uint32_t strides[3] = {1, n, n * n};
    nodes_.resize(grid_.size() / 3);
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        nodes_[i] = Node{grid_[3 * i], grid_[3 * i + 1], grid_[3 * i + 2], 0};
    for (int c = 0; c < 3; ++c) {
        for (int level = 0; level < 256; ++level) {
            const float position = std::clamp(curves_[c][level], 0.0f, 1.0f) * top;
            const float below = std::min(std::floor(position), top);
            const auto index = static_cast<std::uint32_t>(below);
            places_[c].below[level] = index * strides[c];
            places_[c].step[level] = index + 1 < n ? strides[c] : 0;
            places_[c].fraction[level] = position - below;
        }
    }
}

void ColorTableFilter::setTable(std::shared_ptr<const ColorTable> table) {
    table_ = std::move(table);
}

void ColorTableFilter::setStrength(double strength) {
    if (!std::isnan(strength)) strength_ = static_cast<float>(std::clamp(strength, 0.0, 1.0));
}

PixelKernel ColorTableFilter::kernel() const {
    if (isIdentity()) return copyKernel();
    if (table_->gridSize() >= 2)
        return [table = table_, strength = strength_, row = fastestGridRow()](const std::uint8_t* in,
                                                                               std::uint8_t* out, int width) {
            row(*table, in, out, width, strength);
        };
    return [table = table_, strength = strength_](const std::uint8_t* in, std::uint8_t* out, int width) {
        applyCurveRow(*table, in, out, width, strength);
    };
}

}  // namespace tintreel
