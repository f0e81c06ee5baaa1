#include "platform/filters/Picture.h"

#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include "platform/filters/QtImage.h"

namespace tintreel {

Result<Image> loadPicture(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) return Error{reader.errorString().toStdString()};
    return fromQImage(image);
}

Status savePng(const Image& image, const std::string& path) {
    if (image.isEmpty()) return Error{"the image is empty"};
    QImageWriter writer(QString::fromStdString(path), "png");
    if (!writer.write(toQImage(image))) return Error{writer.errorString().toStdString()};
    return {};
}

Status saveJpeg(const Image& image, const std::string& path) {
    if (image.isEmpty()) return Error{"the image is empty"};
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(92);
    QImage opaque(image.width(), image.height(), QImage::Format_RGB888);
    opaque.fill(Qt::black);
    QPainter(&opaque).drawImage(0, 0, toQImage(image));
    if (!writer.write(opaque)) return Error{writer.errorString().toStdString()};
    return {};
}

}  // namespace tintreel
