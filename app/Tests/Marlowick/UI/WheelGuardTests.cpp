#include "UI/WheelGuard.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <functional>

#include "WidgetSupport/HomeWindow.hpp"

namespace marlowick {
namespace {

// One notch of the wheel, turned towards the user, with the pointer over the middle of `target`.
void turnWheel(QWidget& target) {
    const QPointF inside = QRectF(target.rect()).center();
    QWheelEvent wheel(inside, target.mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &wheel);
}

struct Control {
    const char* name;
    std::function<QWidget*(QWidget* parent)> make;
    std::function<int(QWidget&)> value;
};

// A page taller than its scroll area, with a text field at the top that holds the focus and
// the control below it.
struct Page {
    explicit Page(const Control& control) {
        area.resize(300, 200);
        auto* content = new QWidget;
        content->setMinimumHeight(1200);
        auto* column = new QVBoxLayout(content);
        field = new QLineEdit(content);
        column->addWidget(field);
        subject = control.make(content);
        column->addWidget(subject);
        column->addStretch(1);
        area.setWidget(content);
        area.setWidgetResizable(true);
        area.show();
        area.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&area));
        field->setFocus();
    }
    QScrollArea area;
    QLineEdit* field = nullptr;
    QWidget* subject = nullptr;
};

TEST(WheelGuard, TheWheelOverAnUnfocusedControlScrollsThePageAndAFocusedOneTakesIt) {
    const Control controls[] = {
        {"combo box",
         [](QWidget* parent) -> QWidget* {
             auto* box = new QComboBox(parent);
             box->addItems({QStringLiteral("1.1.17"), QStringLiteral("1.1.16"), QStringLiteral("1.1.15")});
             return box;
         },
         [](QWidget& widget) { return static_cast<QComboBox&>(widget).currentIndex(); }},
        {"spin box",
         [](QWidget* parent) -> QWidget* {
             auto* box = new QSpinBox(parent);
             box->setRange(0, 100);
             box->setValue(50);
             return box;
         },
         [](QWidget& widget) { return static_cast<QSpinBox&>(widget).value(); }},
        {"slider",
         [](QWidget* parent) -> QWidget* {
             auto* slider = new QSlider(Qt::Horizontal, parent);
             slider->setRange(0, 100);
             slider->setValue(50);
             return slider;
         },
         [](QWidget& widget) { return static_cast<QSlider&>(widget).value(); }},
    };
    for (const Control& control : controls) {
        SCOPED_TRACE(control.name);
        Page page(control);
        QWidget& subject = *page.subject;
        const int before = control.value(subject);
        EXPECT_EQ(subject.focusPolicy(), Qt::StrongFocus);
        ASSERT_FALSE(subject.hasFocus());

        turnWheel(subject);
        EXPECT_EQ(control.value(subject), before);
        EXPECT_GT(page.area.verticalScrollBar()->value(), 0) << "the page did not scroll";
        EXPECT_FALSE(subject.hasFocus());
        EXPECT_TRUE(page.field->hasFocus());

        // Focused, the control takes the wheel and the page stays where it is.
        subject.setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(subject.hasFocus());
        const int scrolled = page.area.verticalScrollBar()->value();
        turnWheel(subject);
        EXPECT_NE(control.value(subject), before);
        EXPECT_EQ(page.area.verticalScrollBar()->value(), scrolled);
    }
}

TEST(WheelGuard, AScrollBarStillTakesTheWheel) {
    QScrollArea area;
    area.resize(300, 200);
    auto* content = new QWidget;
    content->setMinimumHeight(1200);
    area.setWidget(content);
    area.setWidgetResizable(true);
    area.show();
    EXPECT_FALSE(ui::WheelGuard::guards(*area.verticalScrollBar()));
    turnWheel(*area.verticalScrollBar());
    EXPECT_GT(area.verticalScrollBar()->value(), 0);
}

TEST(WheelGuard, ScrollingThePrepareSheetOverTheVersionBoxKeepsTheChosenVersion) {
    testing::HomeWindow home;
    home.harness.runner->answer(testing::detectedNotVentoy());
    home.show();
    home.click("home.primaryAction");
    ui::Sheet* sheet = home.sheet("home.confirm.sheet");
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(testing::findElement<QAbstractButton>(*sheet, QStringLiteral("home.confirm.advanced.disclosure")),
                      Qt::LeftButton);
    home.settle();
    auto* version = testing::findElement<QComboBox>(*sheet, QStringLiteral("home.confirm.advanced.version"));
    ASSERT_NE(version, nullptr);
    ASSERT_FALSE(version->hasFocus());

    for (int notch = 0; notch < 3; ++notch) turnWheel(*version);
    home.settle();
    EXPECT_EQ(version->currentText(), QStringLiteral("1.1.17 (recommended)"));
    EXPECT_EQ(home.harness.model->advancedOptions().selectedVentoyVersion, "1.1.17");
}

}  // namespace
}  // namespace marlowick
