// The watermarks' "Scale with Video" and timing controls in the window: they
// sit with their group (which resets them: ControlCatalogueTest), record one
// undo step per edit, and the still preview shows the watermark as it is at
// the browsed time.
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>

#include "imaging/ImageTools.h"
#include "platform/filters/QtImage.h"
#include "platform/ui/Stepper.h"
#include "preview/VideoImageView.h"
#include "settings/ControlCatalogue.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

class WatermarkControlsTest : public EditorFixture {
protected:
    QImage withoutEffects() const {
        return toQImage(*controller->snapshot()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    int x(std::string_view name) const {
        const QWidget* widget = outlets().find(name);
        return widget->mapTo(&window, QPoint(0, 0)).x();
    }
};

TEST_F(WatermarkControlsTest, TheControlsSitInTheirGroup) {
    window.show();
    for (std::string_view check : {"checkTextScaleWithVideo", "checkImageScaleWithVideo"}) {
        auto* box = outlet<QCheckBox>(check);
        EXPECT_EQ(box->text(), "Scale with Video");
        EXPECT_FALSE(box->isChecked());
        EXPECT_NE(box->toolTip().indexOf("1080"), -1);
    }
    for (std::string_view field : {"textFieldTextStart", "textFieldTextEnd", "textFieldTextFade",
                                   "textFieldImageStart", "textFieldImageEnd", "textFieldImageFade"})
        EXPECT_EQ(outlet<QLineEdit>(field)->text(), "0") << field;
    EXPECT_NE(outlet<QLineEdit>("textFieldTextEnd")->toolTip().indexOf("0 keeps it to the end"), -1);
    // Aligned with the controls of their tab: the check box with Stroke, the
    // time fields with the offsets' fields.
    outlet<QTabWidget>("tabView")->setCurrentIndex(3);
    EXPECT_EQ(x("checkTextScaleWithVideo"), x("checkTextStroke"));
    EXPECT_EQ(x("textFieldTextFade"), x("textFieldTextYOffset"));
    outlet<QTabWidget>("tabView")->setCurrentIndex(4);
    EXPECT_EQ(x("textFieldImageStart"), x("textFieldImageXOffset"));
}

TEST_F(WatermarkControlsTest, OneEditIsOneUndoStepAndThePreviewFollowsTheBrowsedTime) {
    load(clip());
    outlet<QCheckBox>("checkTextWatermark")->click();
    ASSERT_TRUE(settle());
    const int recorded = controller->history().count();

    type("textFieldTextStart", "1");
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->history().count(), recorded + 1);
    EXPECT_EQ(shownImage(), withoutEffects()) << "at 0 s the text has not started";

    outlet<Stepper>("stepperBrowseFrames")->stepUp();
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->snapshotSeconds(), 1.0);
    EXPECT_NE(shownImage(), withoutEffects()) << "at 1 s it shows";
    EXPECT_EQ(controller->history().count(), recorded + 1) << "browsing records nothing";

    window.command("OnUndo")->trigger();
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->currentSettings().stepperTextStart, 0.0f);
    EXPECT_EQ(outlet<QLineEdit>("textFieldTextStart")->text(), "0");
}

}  // namespace
}  // namespace tintreel
