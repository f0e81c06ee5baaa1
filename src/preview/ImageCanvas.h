#pragma once
// ImageCanvas: paints its whole area black, then a picture fitted into it
// with its proportions kept; whatever the picture leaves uncovered shows
// black. The still preview and the player both draw this way. A movie whose
// pixels are not square (anamorphic) sets its display shape, and the picture
// is drawn with that shape's proportions: the pixels stay as stored and the
// drawing stretches them, as a player does. With no picture the canvas may
// show a hint in its middle; while comparing it shows a reference picture
// (the unprocessed frame) in place of its own.
//
// GUI thread only.

#include <QImage>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <optional>

class QPainter;

namespace tintreel {

class MediaAsset;

// The shape a player shows `movie`'s first video track with, upright (see
// displaySize in MediaAsset.h); empty when the file has no video track.
QSize movieDisplayShape(const std::filesystem::path& movie);
// The same, of a movie already opened.
QSize movieDisplayShape(const MediaAsset& movie);

class ImageCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ImageCanvas(QWidget* parent = nullptr);

    // No image at all and an empty image differ for the still preview.
    void setImage(QImage image);
    void clearImage();
    const std::optional<QImage>& image() const { return image_; }
    // The proportions pictures are drawn with; an empty size: the picture's own.
    void setDisplayShape(QSize shape);
    // The proportions and size the picture on show is drawn with (the display
    // shape, else its own size); empty with no picture.
    QSize pictureShape() const;
    // Where the picture is drawn inside the canvas.
    QRect pictureRect() const;

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
    QSize displayShape_;
    QImage reference_;
    bool showingReference_ = false;
    QString placeholder_;
};

}  // namespace tintreel
