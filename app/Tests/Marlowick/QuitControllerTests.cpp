// Quitting the main window while a disk image is being written, answered both ways as a
// user would, and stopped without asking as a termination signal does: the engine call is
// run by hand, so what the window shows before the helper answers can be looked at.
#include "QuitController.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "UI/DestructiveQuestion.hpp"
#include "WidgetSupport/HomeWindow.hpp"

namespace marlowick {
namespace {

using testing::HomeWindow;
using Kind = HomeOperationKind;

const std::string waiting = "Stopping\u2026 Marlowick quits as soon as the operation has stopped.";

class QuitControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The helper reports progress and answers; cancelled when asked before it answers.
        home.harness.runner->script([](const HelperCommand& command, const HelperProgressHandler& onProgress,
                                       const HelperCancelCheck& isCancelled) {
            if (!std::holds_alternative<HelperCommand::WriteRawImage>(command.value)) {
                return testing::detectedNotVentoy();
            }
            onProgress(HelperProgress(HelperProgress::Stage::writeRawImage, 1 << 20, 8 << 20));
            const bool cancelled = isCancelled();
            return HelperResult{HelperResult::DriveOperation{HelperDriveOperationReport(
                HelperDriveOperationReport::Kind::writeRawImage, true, !cancelled, cancelled, {}, std::nullopt,
                std::nullopt)}};
        });
        const std::filesystem::path image = home.harness.folder.path() / "disk.img";
        std::ofstream(image, std::ios::binary) << std::string(4096, 'x');
        home.harness.rawImageToPick = image;
        home.show();
        quitter = std::make_unique<QuitController>(*home.window, home.harness.model, [this] { ++quits; });
        ASSERT_TRUE(model().state().is<HomeDriveState::Prepare>()) << render(model().state());
    }

    HomeViewModel& model() { return *home.harness.model; }

    // Starts writing the image; the engine call waits until the test runs it.
    void startWriting() {
        model().invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
        model().confirmPendingOperation();
        show();
        ASSERT_EQ(home.harness.background.pending(), 1U);
        ASSERT_TRUE(model().quitQuestion().has_value());
    }
    // What the model posted, on screen; background work stays queued.
    void show() {
        home.harness.main.runAll();
        QApplication::processEvents();
        home.view->renderPending();
    }
    // The window's close, as the window manager's close button sends it.
    void closeWindow() {
        EXPECT_FALSE(home.window->close()) << "the window closed while an operation ran";
        show();
    }

    HomeWindow home;
    std::unique_ptr<QuitController> quitter;
    int quits = 0;
};

TEST_F(QuitControllerTest, WithNothingRunningTheWindowClosesAtOnce) {
    EXPECT_TRUE(home.window->close());
    EXPECT_EQ(quitter->question(), nullptr);
    quitter->quitWithoutAsking();
    EXPECT_EQ(quits, 1);
}

TEST_F(QuitControllerTest, DontQuitKeepsTheWriteAndStopAndQuitWaitsForTheHelper) {
    startWriting();
    const QImage cancelWhileRunning = home.element<QPushButton>("home.operation.cancel")->grab().toImage();
    closeWindow();
    ui::DestructiveQuestion* question = quitter->question();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->isVisible());
    const QuitQuestion asked = QuitQuestion::about(Kind::writeRawImage, "Stick");
    EXPECT_EQ(question->title().toStdString(), asked.title);
    EXPECT_EQ(question->message().toStdString(), asked.message);
    EXPECT_EQ(question->objectName(), QStringLiteral("app.quitQuestion"));
    EXPECT_EQ(question->defaultButton()->objectName(), QStringLiteral("app.quitQuestion.keep"));
    testing::saveScreenshot(*question, "quit-question");

    // "Don't Quit": the write goes on, nothing stops, nothing quits.
    QTest::mouseClick(question->keepButton(), Qt::LeftButton);
    show();
    EXPECT_EQ(quitter->question(), nullptr);
    EXPECT_FALSE(model().isOperationCancelRequested());
    EXPECT_TRUE(model().state().is<HomeDriveState::OperationRunning>());
    EXPECT_TRUE(home.window->isVisible());
    EXPECT_EQ(quits, 0);

    // Asked again: Return on the action still answers safely.
    closeWindow();
    question = quitter->question();
    ASSERT_NE(question, nullptr);
    question->actButton()->setFocus();
    QTest::keyClick(question->actButton(), Qt::Key_Return);
    show();
    EXPECT_FALSE(model().isOperationCancelRequested());
    EXPECT_EQ(quits, 0);

    // "Stop and Quit": the run's cancel is set, and the window says it waits for the helper.
    closeWindow();
    question = quitter->question();
    ASSERT_NE(question, nullptr);
    QTest::mouseClick(question->actButton(), Qt::LeftButton);
    show();
    EXPECT_TRUE(model().isOperationCancelRequested());
    EXPECT_TRUE(model().isStoppingOperation());
    EXPECT_EQ(home.text("home.operation.stage").toStdString(), waiting);
    EXPECT_FALSE(home.element<QPushButton>("home.operation.cancel")->isEnabled());
    EXPECT_NE(home.element<QPushButton>("home.operation.cancel")->grab().toImage(), cancelWhileRunning)
        << "the disabled Cancel looks like the one that can be pressed";
    EXPECT_TRUE(home.window->isVisible());
    testing::saveScreenshot(*home.window, "quit-waiting");
    closeWindow();  // asked once is enough: closing again asks nothing and waits on
    EXPECT_EQ(quitter->question(), nullptr);
    EXPECT_EQ(quits, 0);

    // The helper answers: the cancelled write is recorded, then the application quits.
    home.harness.background.runOne();
    show();
    EXPECT_EQ(quits, 1);
    ASSERT_TRUE(model().lastDiagnostics().has_value());
    EXPECT_EQ(model().lastDiagnostics()->details.front(), "cancelled mid-write");
}

// A termination signal, or the test driver's end: no question, even one already open.
TEST_F(QuitControllerTest, QuittingWithoutAskingStopsAndWaitsAllTheSame) {
    startWriting();
    closeWindow();
    QPointer<ui::DestructiveQuestion> question = quitter->question();
    ASSERT_FALSE(question.isNull());
    quitter->quitWithoutAsking();
    show();
    EXPECT_TRUE(question.isNull() || !question->isVisible());
    EXPECT_TRUE(model().isOperationCancelRequested());
    EXPECT_EQ(home.text("home.operation.stage").toStdString(), waiting);
    EXPECT_EQ(quits, 0);
    home.harness.background.runOne();
    show();
    EXPECT_EQ(quits, 1);
}

// The write ends on its own while the question is open: nothing is left to stop, so the
// question goes away, the window stays with the outcome, and nothing quits.
TEST_F(QuitControllerTest, AQuestionWhoseWriteEndsOnItsOwnGoesAway) {
    startWriting();
    closeWindow();
    QPointer<ui::DestructiveQuestion> question = quitter->question();
    ASSERT_FALSE(question.isNull());
    home.harness.background.runOne();
    show();
    EXPECT_EQ(quitter->question(), nullptr);
    EXPECT_TRUE(question.isNull() || !question->isVisible());
    EXPECT_FALSE(model().isOperationCancelRequested());
    EXPECT_TRUE(model().state().is<HomeDriveState::Done>()) << render(model().state());
    EXPECT_TRUE(home.window->isVisible());
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(home.window->close());
}

}  // namespace
}  // namespace marlowick
