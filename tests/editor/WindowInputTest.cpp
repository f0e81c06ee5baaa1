// The settings list and the keyboard as a user meets them: a passing wheel
// scrolls the list rather than changing a value, a render does not scroll
// it, and the undo keys step through the look even from a value field.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QWheelEvent>

#include "editor/ControlPanel.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/SliderValueField.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

// Delivers one wheel notch down at the middle of `target` as the
// application delivers a real wheel: to the widget under the pointer, then
// up its parents until one accepts it. Returns the widget that took it.
QWidget* turnWheelOver(QWidget* target) {
    const QPointF middle = QRectF(target->rect()).center();
    for (QWidget* widget = target; widget; widget = widget->parentWidget()) {
        const QPointF local = widget == target ? middle : target->mapTo(widget, middle);
        QWheelEvent wheel(local, widget->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &wheel);
        if (wheel.isAccepted()) return widget;
        if (widget->isWindow()) break;
    }
    return nullptr;
}

class WindowInputTest : public EditorFixture {
protected:
    void SetUp() override {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // The scrolled list of `tab`, shown, at its top.
    QScrollArea* showList(int tab) const {
        auto* tabs = outlet<QTabWidget>("tabView");
        tabs->setCurrentIndex(tab);
        auto* list = qobject_cast<QScrollArea*>(tabs->currentWidget());
        list->verticalScrollBar()->setValue(0);
        return list;
    }
};

TEST_F(WindowInputTest, APassingWheelScrollsTheListAndAFocusedControlTakesIt) {
    window.resize(window.minimumSize());
    QApplication::processEvents();
    struct Case {
        std::string outlet;
        int tab;
        std::function<QString(QWidget*)> value;
        bool listScrolls = true;  // the Text tab may fit the window
    };
    const Case cases[] = {
        {"sliderCartoonBlur", 1,
         [](QWidget* w) { return QString::number(qobject_cast<FloatSlider*>(w)->floatValue()); }},
        {sliderFieldName("sliderCartoonBlur"), 1,
         [](QWidget* w) { return qobject_cast<SliderValueField*>(w)->text(); }},
        {"comboTextPosition", 3, [](QWidget* w) { return qobject_cast<QComboBox*>(w)->currentText(); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outlet);
        QScrollArea* list = showList(c.tab);
        if (c.listScrolls) {
            ASSERT_GT(list->verticalScrollBar()->maximum(), 0);
        }
        QWidget* control = outlet<QWidget>(c.outlet);
        const QString before = c.value(control);

        EXPECT_NE(turnWheelOver(control), control);
        EXPECT_EQ(c.value(control), before);
        if (c.listScrolls) {
            EXPECT_GT(list->verticalScrollBar()->value(), 0);
        }

        control->setFocus();
        ASSERT_TRUE(control->hasFocus());
        EXPECT_EQ(turnWheelOver(control), control);
        EXPECT_NE(c.value(control), before);
    }
}

TEST_F(WindowInputTest, ARenderLeavesTheListWhereItWasAndTheUndoKeysWorkFromAValueField) {
    load(clip());
    QScrollArea* list = showList(1);
    QWidget* cartoonBlur = outlet<FloatSlider>("sliderCartoonBlur");
    cartoonBlur->setFocus();
    ASSERT_TRUE(cartoonBlur->hasFocus());
    const int top = list->verticalScrollBar()->value();

    QSignalSpy finished(controller, &ViewController::renderFinished);
    controller->OnGeneratePreview();
    ASSERT_TRUE(controller->isRendering());
    EXPECT_EQ(list->verticalScrollBar()->value(), top);
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_EQ(list->verticalScrollBar()->value(), top);

    // The undo keys step through the look even from a value field.
    auto* slider = outlet<FloatSlider>("sliderBrightness");
    const std::vector<QWidget*> fields{outlet<QWidget>(sliderFieldName("sliderBrightness")),
                                       outlet<QWidget>("textFieldTextFontSize"),
                                       outlet<QWidget>("textFieldText")};
    for (QWidget* field : fields) {
        SCOPED_TRACE(field->objectName().toStdString());
        slider->setFloatValueByUser(0.25f);
        ASSERT_TRUE(settle());
        field->setFocus();
        ASSERT_TRUE(field->hasFocus());
        QWidget* focused = QApplication::focusWidget();  // a spin box's own text field

        QTest::keyClick(focused, Qt::Key_Z, Qt::ControlModifier);
        ASSERT_TRUE(settle());
        EXPECT_FLOAT_EQ(slider->floatValue(), 0.0f);
        QTest::keyClick(focused, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_TRUE(settle());
        EXPECT_FLOAT_EQ(slider->floatValue(), 0.25f);

        controller->OnUndo();
        ASSERT_TRUE(settle());
    }
}

}  // namespace
}  // namespace tintreel
