#include "Home/Views/DiagnosticsView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <cstdlib>
#include <fstream>

#include "Design/BrandStyle.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;

// A report whose image path lies in the user's home folder, as a failed copy leaves it.
DiagnosticReport reportInHome(int extraLines = 0, std::size_t lineWidth = 0) {
    DiagnosticReport report;
    report.environment = {"0.3.0", "42", "Debian 12"};
    report.operation = "Add image";
    report.outcome = "failed";
    const std::string home = QDir::homePath().toStdString();
    report.details = {"source: " + home + "/Downloads/debian <b>&amp;</b>.iso", "error: write failed at sector 2048"};
    for (int line = 0; line < extraLines; ++line) report.details.push_back("line " + std::to_string(line));
    if (lineWidth > 0) report.details.push_back(std::string(lineWidth, 'w'));
    return report;
}

QString copyTitle(DiagnosticsView& panel) {
    return findElement<QPushButton>(panel, QStringLiteral("home.diagnostics.copy"))->text();
}

TEST(DiagnosticsView, CopiesTheReportWithTheHomeFolderAsTildeWhileCollapsed) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* panel = new DiagnosticsView(reportInHome());
    column->addWidget(panel);
    window.show();
    QApplication::clipboard()->setText(QStringLiteral("something else"));

    auto* toggle = findElement<QPushButton>(*panel, QStringLiteral("home.diagnostics.toggle"));
    auto* copy = findElement<QPushButton>(*panel, QStringLiteral("home.diagnostics.copy"));
    auto* area = findElement<QScrollArea>(*panel, QStringLiteral("home.diagnostics.text"));
    ASSERT_NE(toggle, nullptr);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(toggle->text(), QStringLiteral("Show details"));
    EXPECT_EQ(toggle->accessibleName(), QStringLiteral("Show technical details"));
    EXPECT_EQ(toggle->accessibleDescription().toStdString(), HomeAccessibility::diagnosticsToggleHint);
    EXPECT_EQ(copy->accessibleName().toStdString(), HomeAccessibility::diagnosticsCopyLabel);
    EXPECT_EQ(copy->accessibleDescription().toStdString(), HomeAccessibility::diagnosticsCopyHint);
    EXPECT_FALSE(area->isVisible());
    EXPECT_EQ(copyTitle(*panel), QStringLiteral("Copy details"));

    QTest::mouseClick(copy, Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.toStdString(), reportInHome().rendered(QDir::homePath().toStdString()));
    EXPECT_TRUE(copied.contains(QStringLiteral("source: ~/Downloads/debian <b>&amp;</b>.iso")));
    EXPECT_FALSE(copied.contains(QDir::homePath() + QLatin1Char('/')));
    EXPECT_EQ(copyTitle(*panel), QStringLiteral("Copied"));
    EXPECT_EQ(copy->accessibleName().toStdString(), HomeAccessibility::diagnosticsCopyLabel);

    // Shown, the text is the copied one character for character, as plain text.
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(area->isVisible());
    EXPECT_EQ(toggle->text(), QStringLiteral("Hide details"));
    EXPECT_EQ(toggle->accessibleName(), QStringLiteral("Hide technical details"));
    auto* body = findElement<QLabel>(*panel, QStringLiteral("home.diagnostics.text.body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->textFormat(), Qt::PlainText);
    EXPECT_EQ(body->text(), copied);
    testing::saveScreenshot(window, "diagnostics-copied");

    // The confirmation goes after its two seconds.
    EXPECT_TRUE(QTest::qWaitFor([&] { return copyTitle(*panel) == QStringLiteral("Copy details"); },
                                DiagnosticsView::copiedMilliseconds + 2000));
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(area->isVisible());
}

TEST(DiagnosticsView, SaysCopiedOnlyWhileTheClipboardHoldsTheReport) {
    DiagnosticsView panel(reportInHome());
    panel.show();
    QTest::mouseClick(findElement<QPushButton>(panel, QStringLiteral("home.diagnostics.copy")), Qt::LeftButton);
    EXPECT_EQ(copyTitle(panel), QStringLiteral("Copied"));
    EXPECT_TRUE(panel.didCopy());
    // Another program copies something else: the clipboard no longer holds the report.
    QApplication::clipboard()->setText(QStringLiteral("an address copied meanwhile"));
    QApplication::processEvents();
    EXPECT_EQ(copyTitle(panel), QStringLiteral("Copy details"));
    EXPECT_FALSE(panel.didCopy());
}

TEST(DiagnosticsView, ALongOrWideReportScrollsWithinItsHeight) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* panel = new DiagnosticsView(reportInHome(40, 400));
    column->addWidget(panel);
    column->addStretch(1);
    window.resize(480, 500);
    window.show();
    QTest::mouseClick(findElement<QPushButton>(*panel, QStringLiteral("home.diagnostics.toggle")), Qt::LeftButton);
    QApplication::processEvents();
    auto* area = findElement<QScrollArea>(*panel, QStringLiteral("home.diagnostics.text"));
    ASSERT_NE(area, nullptr);
    EXPECT_LE(area->height(), DiagnosticsView::textMaximumHeight);
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(panel->width(), 480);
}

TEST(DiagnosticsView, TheShownReportIsMonospacedAndCanBeSelectedAndCopiedFromTheKeyboard) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* panel = new DiagnosticsView(reportInHome(3, 120));
    column->addWidget(panel);
    window.resize(440, 400);
    window.show();
    QTest::mouseClick(findElement<QPushButton>(*panel, QStringLiteral("home.diagnostics.toggle")), Qt::LeftButton);
    QApplication::processEvents();
    auto* body = findElement<QLabel>(*panel, QStringLiteral("home.diagnostics.text.body"));
    ASSERT_NE(body, nullptr);
    // Columns and paths line up as written.
    EXPECT_TRUE(QFontInfo(body->font()).fixedPitch()) << QFontInfo(body->font()).family().toStdString();
    // Every line shows whole: the box is as tall as the report, a long line is reached by
    // scrolling sideways.
    auto* area = findElement<QScrollArea>(*panel, QStringLiteral("home.diagnostics.text"));
    ASSERT_NE(area, nullptr);
    EXPECT_GE(area->viewport()->height(), body->sizeHint().height());
    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    // Selected and copied from the keyboard.
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    body->setFocus();
    QTest::keySequence(body, QKeySequence::SelectAll);
    QTest::keySequence(body, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), panel->reportText());
}

// The panel as the home view shows it after a failed operation: from the model's report.
TEST(DiagnosticsView, ShowsTheReportOfTheModelsFailedOperation) {
    testing::HomeModelHarness harness;
    harness.runner->script([](const HelperCommand& command, const HelperProgressHandler&,
                              const HelperCancelCheck&) -> HelperResult {
        if (std::holds_alternative<HelperCommand::AddImage>(command.value)) {
            return {HelperResult::AddImage{HelperAddImageOutcome{HelperAddImageOutcome::NotExfat{}}}};
        }
        if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing({});
        return testing::detectedVentoy(testing::ventoyLayout());
    });
    const auto model = harness.make(HelperDiskRef(testing::usbStick("sdb")));
    model->detect();
    harness.settle();
    const std::filesystem::path picked = harness.folder.path() / "a.iso";
    std::ofstream(picked, std::ios::binary) << std::string(512, 'x');
    harness.imageToPick = picked;
    model->primaryAction();
    harness.settle();
    ASSERT_TRUE(model->state().is<HomeDriveState::Done>());
    ASSERT_TRUE(model->lastDiagnostics().has_value());

    DiagnosticsView panel(*model->lastDiagnostics());
    panel.show();
    QTest::mouseClick(findElement<QPushButton>(panel, QStringLiteral("home.diagnostics.copy")), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              model->lastDiagnostics()->rendered(QDir::homePath().toStdString()));
    EXPECT_EQ(copyTitle(panel), QStringLiteral("Copied"));
}

TEST(DiagnosticsView, ScreenshotsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        for (const bool expanded : {false, true}) {
            QWidget window;
            auto* column = testing::brandColumn(window, BrandColor::bg);
            auto* panel = new DiagnosticsView(reportInHome(12, 90));
            column->addWidget(panel);
            column->addStretch(1);
            window.resize(520, expanded ? 300 : 120);
            window.show();
            if (expanded) {
                QTest::mouseClick(findElement<QPushButton>(*panel, QStringLiteral("home.diagnostics.toggle")),
                                  Qt::LeftButton);
            }
            testing::saveScreenshot(window, std::string("diagnostics-") + (expanded ? "expanded-" : "") + appearance);
        }
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
