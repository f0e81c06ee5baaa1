#pragma once
// VideoImageView: shows the still preview. It paints its whole area black and
// then the picture, fitted into its bounds with its proportions kept, so
// whatever the picture leaves uncovered shows black. Its frame inside the
// visible preview area is the zoom and pan state.
//
// The view distinguishes holding no image at all from holding an empty one
// (what a reset gives it): only the latter lets the zoom buttons act.
// GUI thread only.

#include <QImage>
#include <QWidget>
#include <optional>

namespace tintreel {

class VideoImageView : public QWidget {
    Q_OBJECT
public:
    explicit VideoImageView(QWidget* parent = nullptr);

    // The five movie extensions a drop accepts, in order.
    static const QStringList acceptedTypes;

    void setImage(QImage image);
    const std::optional<QImage>& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QImage> image_;
};

}  // namespace tintreel
