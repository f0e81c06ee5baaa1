// Placing watermarks in the window: dragging one on the still preview, and
// the font pop-up with families that are and are not installed.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <fstream>
#include <iterator>

#include "editor/ControlBinding.h"
#include "editor/FontPopUp.h"
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

constexpr std::string_view kMissingFamily = "Tintreel Test Family That Is Not Installed";

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WatermarkPlacementTest : public EditorFixture {
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
};

// The offsets follow the pointer in frame pixels whatever the zoom and
// whatever the anchor, the fields show them, and each drag is one step of
// the history.
TEST_F(WatermarkPlacementTest, DraggingTheTextMovesItsOffsetsByFramePixels) {
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
TEST_F(WatermarkPlacementTest, OnlyASwitchedOnWatermarkUnderThePointerMoves) {
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

// A profile naming a family that is not installed loads without an alert,
// shows the name marked missing with a note naming the family that draws,
// and saved again is the same file. Choosing, undoing and resetting the
// font all go through the history and the group reset.
TEST_F(WatermarkPlacementTest, AProfileWithAMissingFontLoadsMarkedAndSavesUnchanged) {
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
