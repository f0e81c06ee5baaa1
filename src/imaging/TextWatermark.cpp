#include "imaging/TextWatermark.h"

#include <QFont>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "imaging/Canvas.h"
#include "imaging/FontChoice.h"
#include "imaging/WatermarkPosition.h"
#include "platform/filters/BlurFilters.h"
#include "platform/filters/QtImage.h"

namespace tintreel {

namespace {

// Shadow and outline as the watermark draws them.
constexpr double kShadowBlur = 3.0;         // blur radius; the Gaussian's sigma is half of it
constexpr QPointF kShadowOffset{3.0, 3.0};  // 3 right and 3 down on a top-left canvas
constexpr double kOutlineFraction = 0.02;   // of the font size

bool drawable(const TextWatermarkStyle& style) {
    return !style.text.empty() && style.fontSize > 0.0 && std::isfinite(style.fontSize) &&
           style.position >= 0 && style.position < static_cast<int>(kWatermarkPositions.size());
}

bool scaled(const TextWatermarkStyle& style) {
    return style.scale != 1.0 && style.scale > 0.0 && std::isfinite(style.scale);
}

// Lays the text out in lines no wider than `width` (breaking inside a word
// only when the word alone is wider) and returns the widest line and the
// total height.
QSizeF layOut(QTextLayout& layout, double width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0.0, widest = 0.0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0.0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return {widest, y};
}

// Lays the text out for a canvas `width` wide and gives its size on the canvas.
QSizeF layOutScaled(QTextLayout& layout, const TextWatermarkStyle& style, double width) {
    if (!scaled(style)) return layOut(layout, width);
    return layOut(layout, width / style.scale) * style.scale;
}

QString layoutText(const std::string& text) {
    // QTextLayout breaks lines at the Unicode line separator, not at '\n'.
    return QString::fromStdString(text).replace(QLatin1Char('\n'), QChar::LineSeparator);
}

// The outlines of all glyphs, each line centred in a box of `boxWidth`
// whose top-left corner is `origin`, on the canvas: laid out, then grown by
// the style's scale.
QPainterPath glyphOutlines(const QTextLayout& layout, const TextWatermarkStyle& style, QPointF origin,
                           double boxWidth) {
    const bool grown = scaled(style);
    const double scale = grown ? style.scale : 1.0;
    const QTransform toCanvas(scale, 0, 0, scale, origin.x(), origin.y());
    QPainterPath path;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const QPointF centring((boxWidth / scale - line.naturalTextWidth()) * 0.5, 0.0);
        const QPointF shift = origin + centring;
        for (const QGlyphRun& run : line.glyphRuns()) {
            const QRawFont font = run.rawFont();
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype g = 0; g < glyphs.size(); ++g) {
                const QPainterPath glyph = font.pathForGlyph(glyphs[g]);
                path.addPath(grown ? toCanvas.map(glyph.translated(positions[g] + centring))
                                   : glyph.translated(positions[g] + shift));
            }
        }
    }
    return path;
}

QColor textColor(const RgbColor& c) {
    auto unit = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); };
    return QColor::fromRgbF(unit(c.red), unit(c.green), unit(c.blue), unit(c.alpha));
}

// Fill, then (when asked) the black outline over it.
void drawGlyphs(QPainter& p, const QPainterPath& path, const QColor& fill, double outline) {
    p.fillPath(path, fill);
    if (outline > 0.0) p.strokePath(path, QPen(QColor(0, 0, 0, fill.alpha()), outline));
}

// The glyphs in black, moved by the shadow offset and blurred, drawn under
// the text within `region`; `scale` sizes the offset and the blur.
void drawShadow(QPainter& p, const QPainterPath& path, const QRectF& region, const QColor& fill,
                double outline, double scale) {
    const QRect area = region.toAlignedRect();
    QImage layer = transparentSurface(area.width(), area.height());
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.translate(kShadowOffset * scale - area.topLeft());
        drawGlyphs(lp, path, QColor(0, 0, 0, fill.alpha()), outline);
    }
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(kShadowBlur * scale / 2.0);
    p.drawImage(area.topLeft(), toQImage(blur.apply(fromQImage(layer))));
}

}  // namespace

// The text laid out in the font the style names, at the size it was
// designed for (the scale grows its outlines afterwards).
std::unique_ptr<QTextLayout> textLayout(const TextWatermarkStyle& style, const QPaintDevice& device) {
    const double designed = scaled(style) ? style.fontSize / style.scale : style.fontSize;
    return std::make_unique<QTextLayout>(layoutText(style.text), watermarkFont(style.fontName, designed), &device);
}

// Lays the text out for a width x height canvas and returns its box there in
// top-left coordinates: drawing and hit-testing both place the text here.
std::optional<QRectF> placeText(const TextWatermarkStyle& style, int width, int height, QTextLayout& layout) {
    const QSizeF size = layOutScaled(layout, style, width);
    const std::optional<WatermarkBox> box = placeWatermark(style.position, width, height, size.width(),
                                                           size.height(), style.xOffset, style.yOffset);
    if (!box) return std::nullopt;
    return toTopLeft(*box, height);
}

QSizeF measureTextWatermark(const TextWatermarkStyle& style, double canvasWidth, double) {
    if (!drawable(style) || !(canvasWidth > 0.0)) return {0.0, 0.0};
    const QImage device = transparentSurface(1, 1);
    return layOutScaled(*textLayout(style, device), style, canvasWidth);
}

std::optional<QRectF> textWatermarkRect(const TextWatermarkStyle& style, int width, int height) {
    if (!drawable(style) || width <= 0 || height <= 0) return std::nullopt;
    const QImage device = transparentSurface(1, 1);
    return placeText(style, width, height, *textLayout(style, device));
}

Image DrawTextWatermark(const TextWatermarkStyle& style, int width, int height) {
    if (!drawable(style) || width <= 0 || height <= 0) return Image(width, height);
    const QImage device = transparentSurface(1, 1);
    const std::unique_ptr<QTextLayout> layout = textLayout(style, device);
    const std::optional<QRectF> placed = placeText(style, width, height, *layout);
    if (!placed) return Image(width, height);
    const QRectF rect = *placed;
    const QPainterPath path = glyphOutlines(*layout, style, rect.topLeft(), rect.width());
    const double outline = style.stroke ? kOutlineFraction * style.fontSize : 0.0;
    // Glyphs may reach past their line box; the outline and the shadow reach further.
    const double shadowScale = scaled(style) ? style.scale : 1.0;
    const double reach = outline + (style.shadow ? (kShadowBlur * 2.0 + 3.0) * shadowScale : 0.0) + 2.0;
    const QRectF region = path.boundingRect()
                              .united(rect)
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(QRectF(0, 0, width, height));
    const QColor fill = textColor(style.color);
    return paintCanvas(width, height, region, [&](QPainter& p) {
        if (style.shadow) drawShadow(p, path, region, fill, outline, shadowScale);
        drawGlyphs(p, path, fill, outline);
    });
}

}  // namespace tintreel
