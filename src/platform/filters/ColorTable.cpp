#include "platform/filters/ColorTable.h"

#include <algorithm>
#include <cmath>

#include "platform/filters/ColorTableKernels.h"

namespace tintreel {

bool hasColorTableExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    if (extension.size() < 2) return false;
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kColorTableExtensions.begin(), kColorTableExtensions.end(), extension.substr(1)) !=
           kColorTableExtensions.end();
}

ColorTable::ColorTable(std::array<ChannelCurve, 3> curves, int gridSize, std::vector<float> grid)
    : curves_(curves), gridSize_(grid.empty() ? 0 : gridSize), grid_(std::move(grid)) {
    plainCurves_ = std::all_of(curves_.begin(), curves_.end(), [](const ChannelCurve& curve) {
        for (int level = 0; level < 256; ++level)
            if (curve[level] != static_cast<float>(level) / 255.0f) return false;
        return true;
    });
    if (gridSize_ < 2) return;
    const auto top = static_cast<float>(gridSize_ - 1);
    const std::uint32_t n = static_cast<std::uint32_t>(gridSize_);
    const std::uint32_t strides[3] = {1, n, n * n};
    nodes_.resize(grid_.size() / 3);
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        nodes_[i] = Node{grid_[3 * i], grid_[3 * i + 1], grid_[3 * i + 2], 0} * 255.0f;
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
        return [table = table_, strength = strength_, row = gridRows(*table_).back().row](
                   const std::uint8_t* in, std::uint8_t* out, int width, RowPlace) {
            row(*table, in, out, width, strength);
        };
    return
        [table = table_, strength = strength_](const std::uint8_t* in, std::uint8_t* out, int width,
                                               RowPlace) { applyCurveRow(*table, in, out, width, strength); };
}

}  // namespace tintreel
