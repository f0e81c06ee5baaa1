// The number beside each slider: it shows the value in the slider's units,
// a typed number moves the slider within its range as one user change, and a
// double click returns one slider to its default as one undo step.
#include <QAction>
#include <QTest>

#include "editor/ControlPanel.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/SliderValueField.h"
#include "settings/ControlCatalogue.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

class SliderFieldTest : public EditorFixture {
protected:
    SliderValueField* field(std::string_view slider) const {
        return outlet<SliderValueField>(sliderFieldName(slider));
    }
    // Types into the field and presses Return, as a user would.
    void type(std::string_view slider, const QString& text) {
        SliderValueField* edit = field(slider);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

TEST_F(SliderFieldTest, EverySliderShowsItsDefaultInItsUnits) {
    for (const ControlRow& control : controlCatalogue()) {
        if (control.kind != ControlKind::Slider) continue;
        SliderValueField* shown = field(control.outlet);
        EXPECT_EQ(shown->suffix(),
                  QString::fromUtf8(control.display.unit.data(), control.display.unit.size()));
        EXPECT_NEAR(shown->value(), control.defaultValue * control.display.scale,
                    0.5 * std::pow(10, -shown->decimals()))
            << control.outlet;
    }
    EXPECT_EQ(field("sliderContrast")->text(), QStringLiteral("100%"));
    EXPECT_EQ(field("sliderHue")->text(), QStringLiteral("0°"));
}

TEST_F(SliderFieldTest, TypingAndDoubleClickingAreEachOneChange) {
    load(clip());
    auto* hue = outlet<FloatSlider>("sliderHue");
    type("sliderHue", QStringLiteral("45"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(hue->floatValue(), 45.0f);
    EXPECT_EQ(controller->currentSettings().sliderHue, 45.0f);
    EXPECT_EQ(controller->history().count(), 2);

    // A keystroke that would leave the range (999 %) is refused: 99 %.
    type("sliderBrightness", QStringLiteral("999"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->currentSettings().sliderBrightness, 0.99f);
    EXPECT_EQ(field("sliderBrightness")->text(), QStringLiteral("99%"));

    // Leaving a field without typing changes nothing, even where the shown
    // number is rounded (0.71 shows as 71 %).
    auto* radius = outlet<FloatSlider>("sliderGlassSphereRadius");
    radius->setFloatValue(0.714f);
    Q_EMIT field("sliderGlassSphereRadius")->editingFinished();
    EXPECT_EQ(radius->floatValue(), 0.714f);

    // The field follows the slider whoever moves it: here an undo.
    window.command("OnUndo")->trigger();
    ASSERT_TRUE(settle());
    EXPECT_EQ(field("sliderBrightness")->text(), QStringLiteral("0%"));

    // A double click returns one slider to its default as one undo step.
    auto* gamma = outlet<FloatSlider>("sliderGamma");
    type("sliderHue", QStringLiteral("30"));
    type("sliderGamma", QStringLiteral("2"));
    ASSERT_TRUE(settle());
    const int recorded = controller->history().count();

    QTest::mouseDClick(gamma, Qt::LeftButton, {}, gamma->rect().center());
    ASSERT_TRUE(settle());
    EXPECT_EQ(gamma->floatValue(), 1.0f);  // its default
    EXPECT_EQ(hue->floatValue(), 30.0f);   // the others stay
    EXPECT_EQ(controller->history().count(), recorded + 1);
    window.command("OnUndo")->trigger();
    ASSERT_TRUE(settle());
    EXPECT_EQ(gamma->floatValue(), 2.0f);

    // The field is switched off with its slider (during a render).
    gamma->setEnabled(false);
    EXPECT_FALSE(field("sliderGamma")->isEnabled());
    gamma->setEnabled(true);
    EXPECT_TRUE(field("sliderGamma")->isEnabled());
}

}  // namespace
}  // namespace tintreel
