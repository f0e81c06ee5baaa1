#include "platform/filters/ColorTable.h"

#include <algorithm>
#include <cmath>

#include "platform/filters/Parallel.h"

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
// chosen by the order of the three fractions. The three channels of a node
// are one vector, so each corner costs one load and one multiply-add.
Node tetrahedral(const Node* grid, std::uint32_t base, const std::uint32_t step[3], const float d[3]) {
    const float dr = d[0], dg = d[1], db = d[2];
    const std::uint32_t sr = step[0], sg = step[1], sb = step[2];
    const Node c000 = grid[base];
    const Node c111 = grid[base + sr + sg + sb];
    if (dr > dg) {
        if (dg > db)
            return c000 * (1 - dr) + grid[base + sr] * (dr - dg) + grid[base + sr + sg] * (dg - db) +
                   c111 * db;
        if (dr > db)
            return c000 * (1 - dr) + grid[base + sr] * (dr - db) + grid[base + sr + sb] * (db - dg) +
                   c111 * dg;
        return c000 * (1 - db) + grid[base + sb] * (db - dr) + grid[base + sr + sb] * (dr - dg) + c111 * dg;
    }
    if (db > dg)
        return c000 * (1 - db) + grid[base + sb] * (db - dg) + grid[base + sg + sb] * (dg - dr) + c111 * dr;
    if (db > dr)
        return c000 * (1 - dg) + grid[base + sg] * (dg - db) + grid[base + sg + sb] * (db - dr) + c111 * dr;
    return c000 * (1 - dg) + grid[base + sg] * (dg - dr) + grid[base + sr + sg] * (dr - db) + c111 * db;
}

// `level` mixed towards `target` (in [0, 1]) by `strength`, to the nearest level.
std::uint8_t mixed(std::uint8_t level, float target, float strength) {
    const float value = level + (target * 255.0f - level) * strength;
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
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
        const Node c = tetrahedral(grid, base, step, d);
        out[0] = mixed(r, c[0], strength);
        out[1] = mixed(g, c[1], strength);
        out[2] = mixed(b, c[2], strength);
        out[3] = in[3];
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

Image ColorTableFilter::apply(const Image& input) const {
    if (isIdentity()) return input;
    Image output = Image::forOverwrite(input.width(), input.height());
    const ColorTable& table = *table_;
    const float strength = strength_;
    const int width = input.width();
    const bool hasGrid = table.gridSize() >= 2;
    forEachRowBlock(input.height(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            if (hasGrid)
                applyGridRow(table, input.row(y), output.row(y), width, strength);
            else
                applyCurveRow(table, input.row(y), output.row(y), width, strength);
        }
    });
    return output;
}

}  // namespace tintreel
