#include "imaging/TextWatermark.h"

#include <QFont>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
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

QString layoutText(const std::string& text) {
    // QTextLayout breaks lines at the Unicode line separator, not at '\n'.
    return QString::fromStdString(text).replace(QLatin1Char('\n'), QChar::LineSeparator);
}

// The outlines of all glyphs, each line centred in a box of `boxWidth`
// whose top-left corner is `origin`.
QPainterPath glyphOutlines(const QTextLayout& layout, QPointF origin, double boxWidth) {
    QPainterPath path;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const QPointF shift = origin + QPointF((boxWidth - line.naturalTextWidth()) * 0.5, 0.0);
        for (const QGlyphRun& run : line.glyphRuns()) {
            const QRawFont font = run.rawFont();
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype g = 0; g < glyphs.size(); ++g)
                path.addPath(font.pathForGlyph(glyphs[g]).translated(positions[g] + shift));
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
// the text within `region`.
void drawShadow(QPainter& p, const QPainterPath& path, const QRectF& region, const QColor& fill,
                double outline) {
    const QRect area = region.toAlignedRect();
    QImage layer = transparentSurface(area.width(), area.height());
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.translate(kShadowOffset - area.topLeft());
        drawGlyphs(lp, path, QColor(0, 0, 0, fill.alpha()), outline);
    }
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(kShadowBlur / 2.0);
    p.drawImage(area.topLeft(), toQImage(blur.apply(fromQImage(layer))));
}

std::unique_ptr<QTextLayout> textLayout(const TextWatermarkStyle& style, const QPaintDevice& device) {
    return std::make_unique<QTextLayout>(layoutText(style.text),
                                         watermarkFont(style.fontName, style.fontSize), &device);
}

// Lays the text out for a width x height canvas and returns its box there in
// top-left coordinates: drawing and hit-testing both place the text here.
std::optional<QRectF> placeText(const TextWatermarkStyle& style, int width, int height, QTextLayout& layout) {
    const QSizeF size = layOut(layout, width);
    const std::optional<WatermarkBox> box = placeWatermark(style.position, width, height, size.width(),
                                                           size.height(), style.xOffset, style.yOffset);
    if (!box) return std::nullopt;
    return toTopLeft(*box, height);
}

}  // namespace

QSizeF measureTextWatermark(const TextWatermarkStyle& style, double canvasWidth, double) {
    if (!drawable(style) || !(canvasWidth > 0.0)) return {0.0, 0.0};
    const QImage device = transparentSurface(1, 1);
    return layOut(*textLayout(style, device), canvasWidth);
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
    const QPainterPath path = glyphOutlines(*layout, rect.topLeft(), rect.width());
    const double outline = style.stroke ? kOutlineFraction * style.fontSize : 0.0;
    // Glyphs may reach past their line box; the outline and the shadow reach further.
    const double reach = outline + (style.shadow ? kShadowBlur * 2.0 + 3.0 : 0.0) + 2.0;
    const QRectF region = path.boundingRect()
                              .united(rect)
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(QRectF(0, 0, width, height));
    const QColor fill = textColor(style.color);
    return paintCanvas(width, height, region, [&](QPainter& p) {
        if (style.shadow) drawShadow(p, path, region, fill, outline);
        drawGlyphs(p, path, fill, outline);
    });
}

}  // namespace tintreel
