#include "platform/filters/QtImage.h"

#include <cstring>

namespace tintreel {

QImage toQImage(const Image& image) {
    if (image.isEmpty()) return {};
    QImage out(image.width(), image.height(), QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y) std::memcpy(out.scanLine(y), image.row(y), image.stride());
    return out;
}

Image fromQImage(const QImage& image) {
    if (image.isNull()) return {};
    const QImage rgba =
        image.format() == QImage::Format_RGBA8888 ? image : image.convertToFormat(QImage::Format_RGBA8888);
    Image out = Image::forOverwrite(rgba.width(), rgba.height());
    for (int y = 0; y < rgba.height(); ++y) std::memcpy(out.row(y), rgba.constScanLine(y), out.stride());
    return out;
}

}  // namespace tintreel
