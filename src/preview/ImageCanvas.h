#pragma once
// ImageCanvas: paints its whole area black, then a picture fitted into it
// with its proportions kept; whatever the picture leaves uncovered shows
// black. The still preview and the player both draw this way.
//
// GUI thread only.

#include <QImage>
#include <QWidget>
#include <optional>

namespace tintreel {

class ImageCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ImageCanvas(QWidget* parent = nullptr);

    // No image at all and an empty image differ for the still preview.
    void setImage(QImage image);
    void clearImage();
    const std::optional<QImage>& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QImage> image_;
};

}  // namespace tintreel
