#pragma once
// ImageCanvas: paints its whole area black, then a picture fitted into it
// with its proportions kept; whatever the picture leaves uncovered shows
// black. The still preview and the player both draw this way. With no
// picture it may show a hint in its middle; while comparing it shows a
// reference picture (the unprocessed frame) in place of its own.
//
// GUI thread only.

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

class QPainter;

namespace tintreel {

class ImageCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ImageCanvas(QWidget* parent = nullptr);

    // No image at all and an empty image differ for the still preview.
    void setImage(QImage image);
    void clearImage();
    const std::optional<QImage>& image() const { return image_; }

    // Shown, dimmed, while there is no picture to show.
    void setPlaceholderText(const QString& text);
    // The picture to compare with, and whether it is shown now instead of
    // the image (only while there is a reference).
    void setReferenceImage(QImage reference);
    void setShowingReference(bool showing);
    bool isShowingReference() const { return showingReference_ && !reference_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* pictureToShow() const;
    void paintPlaceholder(QPainter& painter);

    std::optional<QImage> image_;
    QImage reference_;
    bool showingReference_ = false;
    QString placeholder_;
};

}  // namespace tintreel
