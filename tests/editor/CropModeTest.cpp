// Crop mode in the window: the crop drawn by a drag on the whole frame, a
// plain click that only takes the keys, the cropped and reframed still once
// the mode is off, the crop kept in the session but not in the history, and
// the crop typed into its fields (even, inside the frame) and cleared.
#include <QApplication>
#include <QMouseEvent>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include "editor/CropDrag.h"
#include "preview/VideoImageView.h"
#include "settings/NamedSetting.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

// The rectangle between two points: clamped, even sizes of at least 2.
TEST(CropDragTest, ARectangleBetweenTwoPointsFitsWithEvenSizes) {
    const struct {
        QPointF a, b;
        PixelRect rect;
    } cases[] = {{{10, 20}, {110, 81}, {10, 20, 100, 62}},
                 {{110, 81}, {10, 20}, {10, 20, 100, 62}},
                 {{-30, -5}, {400, 300}, {0, 0, 320, 240}},
                 {{318.6, 10}, {330, 11}, {318, 10, 2, 2}},
                 {{5.2, 5.2}, {6, 6}, {5, 5, 2, 2}}};
    for (const auto& c : cases)
        EXPECT_EQ(cropBetween(c.a, c.b, {320, 240}), c.rect) << c.a.x() << "," << c.a.y();

    CropDrag drag;
    drag.begin({50, 50});
    EXPECT_FALSE(drag.moveTo({50.5, 50.4}, {320, 240})) << "no move of a pixel yet";
    EXPECT_FALSE(drag.end()) << "a plain click draws nothing";
    drag.begin({50, 50});
    EXPECT_EQ(drag.moveTo({90, 70}, {320, 240}), (PixelRect{50, 50, 40, 20}));
    EXPECT_EQ(drag.end(), (PixelRect{50, 50, 40, 20}));
    EXPECT_FALSE(drag.isActive());
}

class CropModeTest : public EditorFixture {
protected:
    VideoImageView* view() const { return outlet<VideoImageView>("imageViewVideo"); }

    QPointF viewPoint(QPointF framePixel) const {
        const QRect shown = view()->pictureRect();
        return {shown.x() + framePixel.x() * shown.width() / 320.0,
                shown.y() + framePixel.y() * shown.height() / 240.0};
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, view()->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(view(), &event);
    }

    void setCropMode(bool on) {
        outlet<QPushButton>("buttonCropMode")->setChecked(on);
        ASSERT_TRUE(settle());
    }
};

TEST_F(CropModeTest, ADragDrawsTheCropAndAPlainClickDoesNot) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    load(clip());
    const std::string record = controller->currentRecord();
    setCropMode(true);

    // A plain click: the preview takes the keys, the crop stays unset.
    const QPointF at = viewPoint({100, 100});
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    EXPECT_FALSE(controller->crop());

    mouse(QEvent::MouseButtonPress, viewPoint({40, 30}), Qt::LeftButton);
    mouse(QEvent::MouseMove, viewPoint({100, 80}), Qt::LeftButton);
    mouse(QEvent::MouseMove, viewPoint({200, 150}), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, viewPoint({200, 150}), Qt::NoButton);
    ASSERT_TRUE(controller->crop());
    const PixelRect crop = *controller->crop();
    EXPECT_NEAR(crop.x, 40, 2);
    EXPECT_NEAR(crop.y, 30, 2);
    EXPECT_NEAR(crop.width, 160, 4);
    EXPECT_NEAR(crop.height, 120, 4);
    EXPECT_EQ(crop.width % 2, 0);
    EXPECT_EQ(crop.height % 2, 0);
    // In crop mode the whole frame shows; a plain click now keeps the crop drawn.
    EXPECT_EQ(shownImage().size(), QSize(320, 240));
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    EXPECT_EQ(controller->crop(), crop);

    setCropMode(false);
    EXPECT_EQ(shownImage().size(), QSize(crop.width, crop.height));
    // The look's reframe works on the cropped picture: 9:16 keeps its longer side.
    EffectSettings look = controller->currentSettings();
    ASSERT_TRUE(assignNamedSetting(look, "comboReframeAspect", "9:16"));
    ASSERT_TRUE(assignNamedSetting(look, "comboReframeFill", "Fit with Bars"));
    const int width = 2 * static_cast<int>(std::lround(crop.width * 9.0 / 16 / 2));
    EXPECT_EQ(FrameGeometry(controller->previewGeometry(look)).outputSize({320, 240}),
              (FrameSize{width, crop.width}));

    EXPECT_EQ(controller->currentRecord(), record) << "the crop is no part of the look";
    EXPECT_EQ(controller->currentSession().crop, crop);
}

// Typed values become a crop inside the frame with even sizes; the fields
// follow a drag; Clear Crop brings back the whole frame.
TEST_F(CropModeTest, TheFieldsTakeTypedValuesAndClearCropKeepsTheWholeFrame) {
    load(clip());
    setCropMode(true);
    ASSERT_TRUE(outlet<QWidget>("rowCrop")->isVisibleTo(&window));
    const auto field = [this](std::string_view name) { return outlet<QSpinBox>(name); };
    EXPECT_EQ(field("spinCropWidth")->value(), 320) << "no crop: the whole frame";
    field("spinCropX")->setValue(300);
    field("spinCropWidth")->setValue(101);
    ASSERT_TRUE(controller->crop());
    EXPECT_EQ(*controller->crop(), (PixelRect{300, 0, 20, 240})) << "kept inside the frame, even";
    EXPECT_EQ(field("spinCropWidth")->value(), 20);
    field("spinCropX")->setValue(10);
    field("spinCropWidth")->setValue(101);
    field("spinCropHeight")->setValue(51);
    EXPECT_EQ(*controller->crop(), (PixelRect{10, 0, 100, 50}));
    setCropMode(false);
    EXPECT_EQ(shownImage().size(), QSize(100, 50));
    EXPECT_FALSE(outlet<QWidget>("rowCrop")->isVisibleTo(&window));

    setCropMode(true);
    outlet<QPushButton>("buttonClearCrop")->click();
    EXPECT_FALSE(controller->crop());
    EXPECT_EQ(field("spinCropHeight")->value(), 240);
    setCropMode(false);
    EXPECT_EQ(shownImage().size(), QSize(320, 240));
    EXPECT_FALSE(controller->currentSession().crop);
}

// With the look cropping to 9:16, a drag on the fitted preview moves the part
// of the frame on show with the pointer (the focus the other way), recorded
// as one change when it ends.
TEST_F(CropModeTest, ADragOnACroppedToFillPreviewMovesItsFocus) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    load(clip());
    outlet<QComboBox>("comboReframeAspect")->setCurrentIndex(2);  // 9:16 of a 4:3 frame: 136 of 320 columns
    ASSERT_TRUE(settle());
    const int undoSteps = controller->history().count();
    const QRect picture = view()->pictureRect();
    const QPointF start = picture.center();
    const double viewPixelsPerFramePixel = picture.width() / 136.0;
    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton);
    mouse(QEvent::MouseMove, start + QPointF(20 * viewPixelsPerFramePixel, 0), Qt::LeftButton);
    mouse(QEvent::MouseMove, start + QPointF(40 * viewPixelsPerFramePixel, 0), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, start + QPointF(40 * viewPixelsPerFramePixel, 0), Qt::NoButton);
    ASSERT_TRUE(settle());
    // 40 frame pixels to the right: the part on show moves 40 pixels left.
    EXPECT_NEAR(controller->currentSettings().sliderReframeFocusX, 0.5 - 40.0 / 320, 0.01);
    EXPECT_NEAR(controller->currentSettings().sliderReframeFocusY, 0.5, 1e-6);
    EXPECT_EQ(controller->history().count(), undoSteps + 1);
}

}  // namespace
}  // namespace tintreel
