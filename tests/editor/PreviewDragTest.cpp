// Drags on the still preview: the watermark drag and the crop drag without
// a window (which offsets or rectangle a pointer move reaches), then in the
// window: dragging a watermark, drawing the crop in crop mode and moving the
// focus of a preview cropped to fill; and the font pop-up with families that
// are and are not installed.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>

#include "editor/ControlBinding.h"
#include "editor/CropDrag.h"
#include "editor/FontPopUp.h"
#include "editor/WatermarkDrag.h"
#include "imaging/FontChoice.h"
#include "imaging/ImageTools.h"
#include "platform/ui/Stepper.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"
#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/SettingsRecord.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

struct DragCase {
    const char* name;
    WatermarkKind kind;
    bool scaleWithVideo;
    QSize frame;
    QPointF startOffsets;
    QPointF move;                    // frame pixels, y down
    std::optional<QPointF> reached;  // nothing: the offsets stay
};

QPointF offsetsOf(WatermarkKind kind, const EffectSettings& settings) {
    const auto [x, y] = WatermarkDrag::offsetControls(kind);
    return {x->number.of(settings), y->number.of(settings)};
}

TEST(WatermarkDragTest, AMoveReachesWholeOffsetsWithinTheirRange) {
    const DragCase cases[] = {
        {"pixels are units", WatermarkKind::Text, false, {320, 240}, {0, 0}, {12, 5}, QPointF(12, -5)},
        {"half-size frame, scaled",
         WatermarkKind::Image,
         true,
         {960, 540},
         {4, 4},
         {10, -4},
         QPointF(24, 12)},
        {"rounds to where it was", WatermarkKind::Text, false, {320, 240}, {3, 3}, {0.4, -0.3}, std::nullopt},
        {"stops at the range",
         WatermarkKind::Image,
         false,
         {320, 240},
         {9990, -9990},
         {50, 50},
         QPointF(10000, -10000)},
        {"already at the range", WatermarkKind::Text, false, {320, 240}, {10000, 0}, {30, 0}, std::nullopt},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        EffectSettings settings = defaultEffectSettings();
        settings.checkTextScaleWithVideo = settings.checkImageScaleWithVideo = c.scaleWithVideo ? 1 : 0;
        const auto [x, y] = WatermarkDrag::offsetControls(c.kind);
        x->number.of(settings) = static_cast<float>(c.startOffsets.x());
        y->number.of(settings) = static_cast<float>(c.startOffsets.y());
        const WatermarkKind other =
            c.kind == WatermarkKind::Text ? WatermarkKind::Image : WatermarkKind::Text;

        WatermarkDrag drag;
        const QPointF press(100, 100);
        drag.begin(c.kind, press, settings);
        ASSERT_EQ(drag.kind(), c.kind);
        const std::optional<EffectSettings> moved = drag.moveTo(press + c.move, c.frame, settings);
        ASSERT_EQ(moved.has_value(), c.reached.has_value());
        if (moved) {
            EXPECT_EQ(offsetsOf(c.kind, *moved), *c.reached);
            EXPECT_EQ(x->text.of(*moved),
                      pairText(*x, static_cast<float>(c.reached->x())));  // the field follows
            EXPECT_EQ(y->text.of(*moved), pairText(*y, static_cast<float>(c.reached->y())));
            EXPECT_EQ(offsetsOf(other, *moved), offsetsOf(other, settings));
        }
        EXPECT_EQ(drag.end(), c.reached.has_value());  // only a drag that moved is recorded
        EXPECT_FALSE(drag.isActive());
        EXPECT_FALSE(drag.moveTo(press + c.move, c.frame, settings).has_value());
    }
}

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

constexpr std::string_view kMissingFamily = "Tintreel Test Family That Is Not Installed";

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PreviewDragTest : public EditorFixture {
protected:
    // Applies named settings to the controls and waits for their preview.
    void apply(const std::vector<std::pair<std::string, std::string>>& values) {
        EffectSettings settings = controller->currentSettings();
        for (const auto& [name, value] : values) ASSERT_TRUE(assignNamedSetting(settings, name, value));
        writeSettings(outlets(), settings);
        controller->UpdateImageEffect();
        ASSERT_TRUE(settle());
    }

    // Shows the window with the clip loaded and the text watermark as `values` say.
    void showClipWithText(const std::vector<std::pair<std::string, std::string>>& values) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        load(clip());
        apply(values);
    }

    VideoImageView* view() const { return outlet<VideoImageView>("imageViewVideo"); }

    // Where a frame pixel is shown in the image view.
    QPointF viewPoint(QPointF framePixel) const {
        const QRect shown = view()->pictureRect();
        return {shown.x() + framePixel.x() * shown.width() / 320.0,
                shown.y() + framePixel.y() * shown.height() / 240.0};
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, view()->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(view(), &event);
    }

    // Press at `from`, two moves, release at `from + by`; all in view
    // pixels. Each move's preview is let finish, as in a slow drag.
    void drag(QPointF from, QPointF by) {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(QEvent::MouseMove, from + by * 0.5, Qt::LeftButton);
        ASSERT_TRUE(settle());
        mouse(QEvent::MouseMove, from + by, Qt::LeftButton);
        ASSERT_TRUE(settle());
        mouse(QEvent::MouseButtonRelease, from + by, Qt::NoButton);
        ASSERT_TRUE(settle());
    }

    float number(std::string_view stepper) const { return outlet<Stepper>(stepper)->floatValue(); }
    QString field(std::string_view name) const { return outlet<QLineEdit>(name)->text(); }

    QRectF textBox() const {
        return *textWatermarkRect(textWatermarkStyle(controller->currentSettings(), 320, 240), 320, 240);
    }

    void setCropMode(bool on) {
        outlet<QPushButton>("buttonCropMode")->setChecked(on);
        ASSERT_TRUE(settle());
    }
};

// The offsets follow the pointer in frame pixels whatever the zoom and
// whatever the anchor, the fields show them, and each drag is one step of
// the history.
TEST_F(PreviewDragTest, DraggingTheTextMovesItsOffsetsByFramePixels) {
    showClipWithText({{"checkTextWatermark", "1"},
                      {"stepperTextFontSize", "30"},
                      {"comboTextPosition", "Center"},
                      {"stepperTextXOffset", "5"}});
    for (const double zoom : {1.0, 2.0}) {
        SCOPED_TRACE(zoom);
        controller->ZoomPreview(zoom);
        const double framePixelsPerViewPixel = 320.0 / view()->pictureRect().width();
        const QPointF by(60, 30);  // view pixels: right and down
        const float x = number("stepperTextXOffset"), y = number("stepperTextYOffset");
        const auto entries = controller->history().count();
        drag(viewPoint(textBox().center()), by);
        const float expectedX = x + std::round(by.x() * framePixelsPerViewPixel);
        const float expectedY = y - std::round(by.y() * framePixelsPerViewPixel);  // offsets grow upwards
        EXPECT_EQ(number("stepperTextXOffset"), expectedX);
        EXPECT_EQ(number("stepperTextYOffset"), expectedY);
        EXPECT_EQ(field("textFieldTextXOffset"), QString::number(expectedX));
        EXPECT_EQ(field("textFieldTextYOffset"), QString::number(expectedY));
        EXPECT_EQ(number("stepperTextXOffset") - x, std::round(60 * framePixelsPerViewPixel));
        EXPECT_EQ(controller->history().count(), entries + 1);
        EXPECT_EQ(controller->currentSettings().comboTextPosition, 4) << "the anchor stays";
    }
    // The second zoom shows the frame twice as large, so the same pointer
    // move moved the text half as far; one undo takes back one drag.
    controller->OnUndo();
    ASSERT_TRUE(settle());
    const float afterFirst = number("stepperTextXOffset");
    controller->OnUndo();
    ASSERT_TRUE(settle());
    EXPECT_EQ(number("stepperTextXOffset"), 5.0f);
    EXPECT_GT(afterFirst - 5.0f, 0.0f);

    // Anchored bottom right, the offsets still grow right and up: dragging
    // up and to the left lowers X and raises Y.
    apply({{"comboTextPosition", "Bottom Right"}, {"stepperTextXOffset", "0"}, {"stepperTextYOffset", "0"}});
    const double scale = 320.0 / view()->pictureRect().width();
    drag(viewPoint(textBox().center()), QPointF(-40, -20));
    EXPECT_EQ(number("stepperTextXOffset"), -std::round(40 * scale));
    EXPECT_EQ(number("stepperTextYOffset"), std::round(20 * scale));

    // With "Scale with Video" on, the offsets are in units of the frame made
    // for 1080 lines: on this 240-line clip a frame pixel is 1080 / 240 units,
    // so the text still follows the pointer.
    controller->OnResetZoom();
    apply({{"checkTextScaleWithVideo", "1"},
           {"stepperTextFontSize", "120"},
           {"comboTextPosition", "Center"},
           {"stepperTextXOffset", "0"},
           {"stepperTextYOffset", "0"}});
    const double framePixelsPerViewPixel = 320.0 / view()->pictureRect().width();
    const QPointF start = textBox().center();
    const auto entries = controller->history().count();
    drag(viewPoint(start), QPointF(40, 0));
    const double moved = 40 * framePixelsPerViewPixel;
    EXPECT_NEAR(number("stepperTextXOffset"), moved * 1080.0 / 240.0, 1.0);
    EXPECT_NEAR(textBox().center().x() - start.x(), moved, 1.0) << "the text moved as far as the pointer";
    EXPECT_EQ(controller->history().count(), entries + 1);
}

// The cursor says what a press would do: an open hand over a grabbable
// watermark, a closed one while dragging, the usual one elsewhere. A press
// beside the watermark moves nothing and records nothing; a switched off
// watermark cannot be grabbed; the picture is found over the text.
TEST_F(PreviewDragTest, OnlyASwitchedOnWatermarkUnderThePointerMoves) {
    showClipWithText(
        {{"checkTextWatermark", "1"}, {"stepperTextFontSize", "30"}, {"comboTextPosition", "Center"}});
    const QPointF over = viewPoint(textBox().center());
    mouse(QEvent::MouseMove, over, Qt::NoButton);
    EXPECT_EQ(view()->cursor().shape(), Qt::OpenHandCursor);
    mouse(QEvent::MouseButtonPress, over, Qt::LeftButton);
    EXPECT_EQ(view()->cursor().shape(), Qt::ClosedHandCursor);
    mouse(QEvent::MouseButtonRelease, over, Qt::NoButton);
    EXPECT_EQ(view()->cursor().shape(), Qt::OpenHandCursor);
    mouse(QEvent::MouseMove, viewPoint(QPointF(5, 5)), Qt::NoButton);
    EXPECT_EQ(view()->cursor().shape(), Qt::ArrowCursor);
    ASSERT_TRUE(settle());

    apply({{"comboTextPosition", "Top Left"}});
    const auto entries = controller->history().count();
    drag(viewPoint(QPointF(300, 220)), QPointF(-40, -40));
    EXPECT_EQ(number("stepperTextXOffset"), 0.0f);
    EXPECT_EQ(number("stepperTextYOffset"), 0.0f);
    EXPECT_EQ(controller->history().count(), entries);

    apply({{"checkTextWatermark", "0"}});
    const auto off = controller->history().count();
    drag(viewPoint(textBox().center()), QPointF(40, 40));
    EXPECT_EQ(number("stepperTextXOffset"), 0.0f);
    EXPECT_EQ(controller->history().count(), off);

    // A picture over the text: the picture is what the press grabs.
    const std::filesystem::path logo = test::scratchDirectory("drag-logo") / "logo.png";
    ASSERT_TRUE(test::writePicture(logo));
    dialogs.openPaths.push_back(QString::fromStdString(logo.string()));
    outlet<QAbstractButton>("buttonSelectImage")->click();
    apply({{"checkTextWatermark", "1"}, {"checkImageWatermark", "1"}, {"comboImagePosition", "Top Left"}});
    drag(viewPoint(QPointF(10, 10)), QPointF(50, 0));
    EXPECT_GT(number("stepperImageXOffset"), 0.0f);
    EXPECT_EQ(number("stepperTextXOffset"), 0.0f);
}

TEST_F(PreviewDragTest, ADragDrawsTheCropAndAPlainClickDoesNot) {
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
TEST_F(PreviewDragTest, TheFieldsTakeTypedValuesAndClearCropKeepsTheWholeFrame) {
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
TEST_F(PreviewDragTest, ADragOnACroppedToFillPreviewMovesItsFocus) {
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

// A profile naming a family that is not installed loads without an alert,
// shows the name marked missing with a note naming the family that draws,
// and saved again is the same file. Choosing, undoing and resetting the
// font all go through the history and the group reset.
TEST_F(PreviewDragTest, AProfileWithAMissingFontLoadsMarkedAndSavesUnchanged) {
    EffectSettings settings = defaultEffectSettings();
    settings.checkTextWatermark = 1;
    settings.comboTextFontType = 3;
    settings.textFontFamily = std::string(kMissingFamily);
    const std::filesystem::path dir = test::scratchDirectory("missing-font-profile");
    const std::filesystem::path original = dir / "missing.tintreel", again = dir / "again.tintreel";
    std::ofstream(original, std::ios::binary) << renderSettingsRecord(settings);
    load(clip());
    dialogs.openPaths.push_back(QString::fromStdString(original.string()));
    controller->OnLoadProfile();
    ASSERT_TRUE(settle());

    auto* font = outlet<FontPopUp>("comboTextFontType");
    auto* note = outlet<QLabel>("labelTextFontSubstitute");
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(font->currentText(), QString::fromUtf8(kMissingFamily.data()) + " (missing)");
    const QString substitute = QString::fromStdString(drawnFontFamily(kMissingFamily));
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("\"" + substitute + "\" draws the text instead"))
        << note->text().toStdString();
    EXPECT_EQ(controller->currentSettings().textFontFamily, kMissingFamily);
    EXPECT_EQ(controller->currentSettings().comboTextFontType, 3);

    dialogs.savePaths.push_back(QString::fromStdString(again.string()));
    controller->OnSaveProfileAs();
    EXPECT_EQ(readAll(again), readAll(original));

    // The user picks the substitute itself: it draws as shown, no note.
    const auto entries = controller->history().count();
    const int item = font->findData(substitute);
    ASSERT_GE(item, 0);
    font->setCurrentIndex(item);
    Q_EMIT font->activated(item);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(note->isHidden());
    EXPECT_EQ(controller->currentSettings().textFontFamily, substitute.toStdString());
    EXPECT_EQ(controller->currentSettings().comboTextFontType, 3) << "kept for older readers";
    EXPECT_EQ(controller->history().count(), entries + 1);

    controller->OnUndo();
    ASSERT_TRUE(settle());
    EXPECT_EQ(font->currentText(), QString::fromUtf8(kMissingFamily.data()) + " (missing)");
    EXPECT_FALSE(note->isHidden());

    outlet<QAbstractButton>("buttonResetTextWatermark")->click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->currentSettings().textFontFamily, "");
    EXPECT_EQ(controller->currentSettings().comboTextFontType, 12);
    EXPECT_EQ(font->chosenFamily(), "Marker Felt");
    // The default family, which the user never chose: what draws, no note.
    EXPECT_EQ(font->currentText().toStdString(), drawnFontFamily("Marker Felt"));
    EXPECT_TRUE(note->isHidden());
}

}  // namespace
}  // namespace tintreel
