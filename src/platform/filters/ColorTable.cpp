#include "platform/filters/ColorTable.h"

#include <algorithm>
#include <cmath>


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
        return [table = table_, strength = strength_](const std::uint8_t* in, std::uint8_t* out, int width) {
            applyGridRow(*table, in, out, width, strength);
        };
    return [table = table_, strength = strength_](const std::uint8_t* in, std::uint8_t* out, int width) {
        applyCurveRow(*table, in, out, width, strength);
    };
}

}  // namespace tintreel
