#include "editor/CropDrag.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tintreel {
namespace {

// An even length from `wanted`, at least 2 and at most `room` (rounded down to even).
int evenLength(double wanted, int room) {
    const int most = std::max(1, room & ~1);
    return std::clamp(2 * static_cast<int>(std::lround(wanted / 2)), std::min(2, most), most);
}

}  // namespace

PixelRect cropBetween(QPointF a, QPointF b, QSize frameSize) {
    const auto clampX = [&](double x) { return std::clamp(x, 0.0, static_cast<double>(frameSize.width())); };
    const auto clampY = [&](double y) { return std::clamp(y, 0.0, static_cast<double>(frameSize.height())); };
    const double left = clampX(std::min(a.x(), b.x())), right = clampX(std::max(a.x(), b.x()));
    const double top = clampY(std::min(a.y(), b.y())), bottom = clampY(std::max(a.y(), b.y()));
    const int x = std::min(static_cast<int>(std::lround(left)), std::max(0, frameSize.width() - 2));
    const int y = std::min(static_cast<int>(std::lround(top)), std::max(0, frameSize.height() - 2));
    return {x, y, evenLength(right - left, frameSize.width() - x),
            evenLength(bottom - top, frameSize.height() - y)};
}

void CropDrag::begin(QPointF framePoint) {
    start_ = framePoint;
    drawn_.reset();
}

std::optional<PixelRect> CropDrag::moveTo(QPointF framePoint, QSize frameSize) {
    if (!start_) return std::nullopt;
    const QPointF move = framePoint - *start_;
    if (!drawn_ && std::abs(move.x()) < 1 && std::abs(move.y()) < 1) return std::nullopt;
    drawn_ = cropBetween(*start_, framePoint, frameSize);
    return drawn_;
}

std::optional<PixelRect> CropDrag::end() {
    start_.reset();
    return std::exchange(drawn_, std::nullopt);
}

}  // namespace tintreel
