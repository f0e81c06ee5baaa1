#pragma once
// The text watermark: text drawn alone on a transparent canvas of a frame's
// size, to be blended over the frame. The one drawing used by the still
// preview and by the movie pass.
//
// Drawing uses QPainter, QFont and QTextLayout on a QImage, so a
// QGuiApplication must exist (any platform, offscreen included). Callable
// from any thread once it does; every call builds its own canvas and font.

#include <QRectF>
#include <QSizeF>
#include <optional>
#include <string>

#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"

namespace tintreel {

struct TextWatermarkStyle {
    std::string text;      // UTF-8; line feeds start new lines
    std::string fontName;  // a family name; FontChoice.h says what draws when it is not installed
    double fontSize = 0;   // points, one point per canvas pixel
    double xOffset = 0;    // positive moves right
    double yOffset = 0;    // positive moves up
    RgbColor color;
    int position = 0;  // an index of kWatermarkPositions; others draw nothing
    bool shadow = false;
    bool stroke = false;
    // The factor the numbers above were scaled by for this frame (see
    // WatermarkScale.h). The text is laid out at fontSize / scale and its
    // outlines drawn scale times larger, so that it keeps its exact shape
    // and proportions at every size (hinting at the drawn size would not);
    // the shadow's blur and offset, 3 pixels each, grow with it.
    double scale = 1.0;
};

// Size of the laid-out text: lines wrap at the canvas width; the width is
// the widest line, the height all lines together. Empty text, a font size
// that is not positive, or a position outside the list give 0 x 0.
QSizeF measureTextWatermark(const TextWatermarkStyle& style, double canvasWidth, double canvasHeight);

// Where the text box lies on a width x height canvas, in its top-left pixel
// coordinates: the same layout and placement the drawing uses. Nothing when
// nothing would be drawn.
std::optional<QRectF> textWatermarkRect(const TextWatermarkStyle& style, int width, int height);

// A width x height canvas, transparent except for the text placed by its
// anchor and offsets, each line centred in the text box. The shadow (black,
// blur 3, 3 right and 3 down, times scale) and the outline (black, 2 %
// of the font size)
// are drawn only when asked for; off, they would be drawn clear.
Image DrawTextWatermark(const TextWatermarkStyle& style, int width, int height);

}  // namespace tintreel
