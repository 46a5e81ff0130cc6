#include "Home/Views/BootGuideView.hpp"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"
#include "Text/PlatformWording.hpp"
#include "UI/Accessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;

TEST(BootGuideView, StepsReadAsNumberedSentencesInOrder) {
    QWidget window;
    BootGuideView guide(window, {});
    guide.show();
    QApplication::processEvents();
    EXPECT_EQ(guide.objectName(), QStringLiteral("home.bootGuide.sheet"));
    int previousY = -1;
    for (std::size_t position = 0; position < BootGuideView::steps.size(); ++position) {
        SCOPED_TRACE(position);
        auto* row = findElement(guide, QString::fromStdString("home.bootGuide.step." + std::to_string(position + 1)));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->accessibleName().toStdString(),
                  "Step " + std::to_string(position + 1) + ". " + std::string(BootGuideView::steps[position]));
        const auto labels = row->findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 2);
        // The bare number and the text are not read one by one.
        for (QLabel* label : labels) {
            EXPECT_TRUE(ui::isHiddenFromAccessibility(*label));
            QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(label);
            ASSERT_NE(spoken, nullptr);
            EXPECT_TRUE(spoken->state().invisible);
            EXPECT_TRUE(spoken->text(QAccessible::Name).isEmpty());
        }
        EXPECT_GT(row->y(), previousY);
        previousY = row->y();
    }
    EXPECT_EQ(BootGuideView::stepLabel(0),
              "Step 1. Plug the prepared drive into the computer you want to boot.");
    auto* title = findElement<QLabel>(guide, QStringLiteral("home.bootGuide.title"));
    ASSERT_NE(title, nullptr);
    QAccessibleInterface* heading = QAccessible::queryAccessibleInterface(title);
    ASSERT_NE(heading, nullptr);
    EXPECT_TRUE(ui::isHeading(*title));
    EXPECT_EQ(heading->role(), QAccessible::Heading);
    EXPECT_EQ(heading->text(QAccessible::Name), QStringLiteral("Boot from your drive"));
    auto* note = findElement<QLabel>(guide, QStringLiteral("home.bootGuide.macNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text().toStdString(), PlatformWording::bootGuideComputersNote);
}

// The guide as the home view presents it, bound to the model's flag.
TEST(BootGuideView, EveryWayOutClearsTheModelsFlagOnce) {
    testing::HomeModelHarness harness;
    const auto model = harness.make();
    enum class Way { doneClick, returnKey, escapeKey, windowClose };
    for (const Way way : {Way::doneClick, Way::returnKey, Way::escapeKey, Way::windowClose}) {
        SCOPED_TRACE(static_cast<int>(way));
        QWidget window;
        window.show();
        model->setIsShowingBootGuide(true);
        int closes = 0;
        BootGuideView guide(window, [&] {
            ++closes;
            model->setIsShowingBootGuide(false);
        });
        guide.show();
        QApplication::processEvents();
        auto* done = findElement<QPushButton>(guide, QStringLiteral("home.bootGuide.close"));
        ASSERT_NE(done, nullptr);
        switch (way) {
        case Way::doneClick: QTest::mouseClick(done, Qt::LeftButton); break;
        case Way::returnKey: QTest::keyClick(&guide, Qt::Key_Return); break;
        case Way::escapeKey: QTest::keyClick(&guide, Qt::Key_Escape); break;
        case Way::windowClose: guide.close(); break;
        }
        EXPECT_EQ(closes, 1);
        EXPECT_FALSE(model->isShowingBootGuide());
        EXPECT_FALSE(guide.isVisible());
    }
}

TEST(BootGuideView, ScreenshotsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        QWidget window;
        BootGuideView guide(window, {});
        testing::saveScreenshot(guide, std::string("boot-guide-") + appearance);
        EXPECT_EQ(guide.width(), BootGuideView::sheetWidth);
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
