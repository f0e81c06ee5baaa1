// Fonts that exist: the families offered are installed and draw as
// themselves; a family that is not installed is drawn by the family the note
// names. Watermark boxes for hit-testing come from the drawing's own layout.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QTextLayout>
#include <algorithm>

#include "imaging/FontChoice.h"
#include "imaging/FontFamilies.h"
#include "imaging/ImageTools.h"
#include "imaging/WatermarkPosition.h"
#include "support/Clips.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

constexpr std::string_view kNoSuchFamily = "Tintreel Test Family That Is Not Installed";

TextWatermarkStyle styleIn(std::string family) {
    TextWatermarkStyle style;
    style.text = "Watermark Qg 123";
    style.fontName = std::move(family);
    style.fontSize = 40;
    style.color = {1, 1, 1, 1};
    style.position = 4;
    return style;
}

// The families whose glyphs a layout of `text` in `font` actually uses.
std::vector<QString> glyphFamilies(const QFont& font, const QString& text) {
    const QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    QTextLayout layout(text, font, &device);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    std::vector<QString> families;
    for (const QGlyphRun& run : layout.glyphRuns()) families.push_back(run.rawFont().familyName());
    return families;
}

// Every family offered draws with itself: QFontInfo and the glyphs laid out agree.
TEST(FontChoice, EveryOfferedFamilyIsTheFamilyDrawn) {
    const std::vector<std::string> families = installedFontFamilies();
    ASSERT_FALSE(families.empty());
    for (const std::string& family : families) {
        EXPECT_TRUE(isFontInstalled(family)) << family;
        EXPECT_EQ(drawnFontFamily(family), family);
        EXPECT_FALSE(fontSubstitutionNote(family)) << family;
        for (const QString& used : glyphFamilies(watermarkFont(family, 30), QStringLiteral("Watermark")))
            EXPECT_EQ(used.toStdString(), family);
    }
    // The font list's installed families come first, in the list's order.
    std::vector<int> listed;
    for (const std::string& family : families)
        if (fontFamilyIndex(family) >= 0) listed.push_back(fontFamilyIndex(family));
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
    for (std::size_t i = 0; i < listed.size(); ++i) EXPECT_GE(fontFamilyIndex(families[i]), 0);
}

// A missing family is drawn by the family the note names, pixel for pixel,
// and another installed family draws differently.
TEST(FontChoice, AMissingFamilyDrawsAsTheNamedSubstitute) {
    EXPECT_FALSE(isFontInstalled(kNoSuchFamily));
    const std::string drawn = drawnFontFamily(kNoSuchFamily);
    EXPECT_TRUE(isFontInstalled(drawn)) << drawn;
    const std::optional<std::string> note = fontSubstitutionNote(kNoSuchFamily);
    ASSERT_TRUE(note);
    EXPECT_EQ(*note, "The font \"" + std::string(kNoSuchFamily) + "\" is not installed; \"" + drawn +
                         "\" draws the text instead.");

    const Image missing = DrawTextWatermark(styleIn(std::string(kNoSuchFamily)), 400, 120);
    const Image substitute = DrawTextWatermark(styleIn(drawn), 400, 120);
    EXPECT_EQ(test::meanDifference(missing, substitute), 0.0);

    const std::vector<std::string> families = installedFontFamilies();
    const auto other = std::find_if(families.begin(), families.end(), [&](const std::string& f) {
        return f != drawn && !QFontDatabase::isFixedPitch(QString::fromStdString(f));
    });
    ASSERT_NE(other, families.end());
    EXPECT_GT(test::meanDifference(DrawTextWatermark(styleIn(*other), 400, 120), substitute), 0.0);
}

// The font index stays the fallback: a named family wins over it.
TEST(FontChoice, TheNamedFamilyWinsOverTheIndex) {
    EXPECT_EQ(chosenFontFamily(12, ""), "Marker Felt");
    EXPECT_EQ(chosenFontFamily(12, "DejaVu Serif"), "DejaVu Serif");
    EXPECT_EQ(fontFamilyIndex("Verdana"), 19);
    EXPECT_EQ(fontFamilyIndex("DejaVu Serif"), -1);
    EXPECT_EQ(fontFamilyName(20), "");  // past either end of the list: no family
    EXPECT_EQ(fontFamilyName(-1), "");
    EffectSettings s;
    s.comboTextFontType = 1;
    s.textFontFamily = "FreeSans";
    EXPECT_EQ(textWatermarkStyle(s).fontName, "FreeSans");
    s.textFontFamily.clear();
    EXPECT_EQ(textWatermarkStyle(s).fontName, "Arial");
}

// The box hit-testing uses is the box the drawing fills: every drawn pixel
// lies in it (the glyphs' antialiasing may reach a pixel past it).
TEST(WatermarkHitTest, BoxesComeFromTheDrawing) {
    TextWatermarkStyle style = styleIn("DejaVu Sans");
    style.position = 1;
    style.xOffset = -30;
    style.yOffset = 12;
    const std::optional<QRectF> box = textWatermarkRect(style, 400, 200);
    ASSERT_TRUE(box);
    const Image canvas = DrawTextWatermark(style, 400, 200);
    const QRectF reach = box->adjusted(-2, -2, 2, 2);
    int drawn = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (test::at(canvas, x, y)[3] > 0) {
                ++drawn;
                EXPECT_TRUE(reach.contains(x + 0.5, y + 0.5)) << x << "," << y;
            }
    EXPECT_GT(drawn, 100);
    EXPECT_NEAR(box->right(), 400 - 30, 1e-9);
    EXPECT_NEAR(box->bottom(), 200 - 12, 1e-9);

    EXPECT_EQ(*imageWatermarkRect(QSizeF(40, 20), {4, 0.5, 0, 0}, 200, 100), QRectF(90, 45, 20, 10));
    EXPECT_EQ(*imageWatermarkRect(QSizeF(40, 20), {1, 1.0, 20, 5}, 200, 100), QRectF(180, 75, 40, 20));
    EXPECT_FALSE(imageWatermarkRect(QSizeF(), {1, 1.0, 0, 0}, 200, 100));
    TextWatermarkStyle empty = style;
    empty.text.clear();
    EXPECT_FALSE(textWatermarkRect(empty, 400, 200));
}

// Only a switched-on watermark is found; where both cover a point the
// picture, drawn over the text, is found.
TEST(WatermarkHitTest, FindsTheWatermarkDrawnOnTop) {
    EffectSettings s;
    s.textFieldText = "Over the picture";
    s.comboTextFontType = 10;
    s.stepperTextFontSize = 30;
    s.comboTextPosition = 4;
    s.comboImagePosition = 4;
    s.stepperImageScale = 100;
    const QSize frame(320, 240);
    const QSizeF logo(40, 40);
    const QPointF middle(160, 120);
    const QPointF nearTextEnd = textWatermarkRect(textWatermarkStyle(s), 320, 240)->topLeft() + QPointF(2, 2);
    EXPECT_FALSE(watermarkAt(s, frame, logo, middle));
    s.checkTextWatermark = 1;
    EXPECT_EQ(watermarkAt(s, frame, logo, middle), WatermarkKind::Text);
    s.checkImageWatermark = 1;
    EXPECT_EQ(watermarkAt(s, frame, logo, middle), WatermarkKind::Image);
    EXPECT_EQ(watermarkAt(s, frame, logo, nearTextEnd), WatermarkKind::Text);
    EXPECT_FALSE(watermarkAt(s, frame, logo, QPointF(5, 5)));
    EXPECT_FALSE(watermarkAt(s, frame, QSizeF(), QPointF(300, 230)));
}

// Pointer moves (y down) become offset changes (y up), divided by the factor
// the numbers are drawn at.
TEST(WatermarkHitTest, PointerMovesBecomeOffsetChanges) {
    EXPECT_EQ(offsetChangeForMove(QPointF(10, 6), 1.0), QPointF(10, -6));
    EXPECT_EQ(offsetChangeForMove(QPointF(10, -6), 2.0), QPointF(5, 3));
    EXPECT_EQ(offsetChangeForMove(QPointF(10, 6), 0.0), QPointF(0, 0));
}

}  // namespace
}  // namespace tintreel
