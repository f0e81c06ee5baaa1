#include "platform/filters/Picture.h"

#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include "platform/filters/QtImage.h"

namespace tintreel {

std::optional<Image> loadPicture(const std::string& path, std::string* error) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error) *error = reader.errorString().toStdString();
        return std::nullopt;
    }
    return fromQImage(image);
}

bool savePng(const Image& image, const std::string& path, std::string* error) {
    QImageWriter writer(QString::fromStdString(path), "png");
    if (!image.isEmpty() && writer.write(toQImage(image))) return true;
    if (error) *error = image.isEmpty() ? "the image is empty" : writer.errorString().toStdString();
    return false;
}

bool saveJpeg(const Image& image, const std::string& path, std::string* error) {
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(92);
    QImage opaque(image.width(), image.height(), QImage::Format_RGB888);
    opaque.fill(Qt::black);
    if (!image.isEmpty()) {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, toQImage(image));
    }
    if (!image.isEmpty() && writer.write(opaque)) return true;
    if (error) *error = image.isEmpty() ? "the image is empty" : writer.errorString().toStdString();
    return false;
}

}  // namespace tintreel
