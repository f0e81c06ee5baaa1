#include "platform/filters/PictureSize.h"

#include <QImageReader>
#include <string>

namespace tintreel {

Status checkPictureSize(const std::filesystem::path& path) {
    QImageReader reader(QString::fromStdString(path.string()));
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid()) return {};
    const long long pixels = static_cast<long long>(size.width()) * size.height();
    if (pixels <= kMaxPicturePixels && size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide)
        return {};
    return Error{"the picture is " + std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                 ", larger than the " + std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels or " +
                 std::to_string(kMaxPictureSide) + " pixels a side allowed"};
}

}  // namespace tintreel
