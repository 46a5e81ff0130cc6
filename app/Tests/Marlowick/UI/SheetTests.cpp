#include "UI/Sheet.hpp"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick::ui {
namespace {

struct SheetOverWindow {
    QMainWindow window;
    Sheet* sheet;
    QPushButton* erase;
    QPushButton* cancel;

    explicit SheetOverWindow(bool returnSafe) {
        window.resize(600, 400);
        window.show();
        sheet = new Sheet(window, QStringLiteral("home.confirm.sheet"));
        auto* buttons = new QDialogButtonBox(sheet);
        erase = buttons->addButton(QStringLiteral("Erase"), QDialogButtonBox::AcceptRole);
        cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        QObject::connect(buttons, &QDialogButtonBox::accepted, sheet, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, sheet, &QDialog::reject);
        (new QVBoxLayout(sheet))->addWidget(buttons);
        if (returnSafe) sheet->makeReturnSafe();
        sheet->open();
        QApplication::processEvents();
        erase->setFocus();
    }
};

TEST(Sheet, IsWindowModalOverItsWindowAndEscapeCancels) {
    SheetOverWindow fixture(false);
    EXPECT_EQ(fixture.sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(fixture.sheet->parentWidget(), &fixture.window);
    QSignalSpy rejected(fixture.sheet, &QDialog::rejected);
    QTest::keyClick(fixture.sheet, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(fixture.sheet->isVisible());
}

TEST(Sheet, ReturnNeverConfirmsAReturnSafeSheetEvenWithTheEraseButtonFocused) {
    SheetOverWindow fixture(true);
    QSignalSpy accepted(fixture.sheet, &QDialog::accepted);
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(fixture.erase, key);
        QTest::keyClick(fixture.sheet, key);
    }
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(fixture.sheet->isVisible());
    EXPECT_FALSE(fixture.erase->isDefault());
    EXPECT_FALSE(fixture.erase->autoDefault());
    // A button that arrives while the sheet is up is held to the same rule.
    auto* later = new QPushButton(QStringLiteral("Erase now"));
    QObject::connect(later, &QPushButton::clicked, fixture.sheet, &QDialog::accept);
    fixture.sheet->layout()->addWidget(later);
    QApplication::processEvents();
    later->setFocus();
    QTest::keyClick(later, Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 0);
    // A click still confirms.
    QTest::mouseClick(fixture.erase, Qt::LeftButton);
    EXPECT_EQ(accepted.count(), 1);
}

TEST(Sheet, AnOrdinarySheetStillConfirmsWithReturn) {
    SheetOverWindow fixture(false);
    QSignalSpy accepted(fixture.sheet, &QDialog::accepted);
    QTest::keyClick(fixture.erase, Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
}

}  // namespace
}  // namespace marlowick::ui
