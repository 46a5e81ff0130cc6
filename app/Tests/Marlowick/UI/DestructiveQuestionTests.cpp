// The question before something that can't be undone, over a window, answered as a user
// would: by keys from every place the focus can be, and by clicks. Screenshots of both
// appearances land in the build tree.
#include "UI/DestructiveQuestion.hpp"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick::ui {
namespace {

using testing::findElement;

struct QuestionOverWindow {
    QMainWindow window;
    DestructiveQuestion* question;
    std::unique_ptr<QSignalSpy> finished;

    QuestionOverWindow() {
        window.setGeometry(120, 90, 820, 600);
        window.show();
        question = new DestructiveQuestion(window, QStringLiteral("test.question"),
                                           {"Delete \u201Ca.iso\u201D?",
                                            "It will be removed from the drive, freeing 1 MB. This can't be undone.",
                                            {"Delete", "test.question.delete"},
                                            {"Cancel", "test.question.cancel"}});
        finished = std::make_unique<QSignalSpy>(question, &QDialog::finished);
        question->open();
        QApplication::processEvents();
    }
    [[nodiscard]] int answer() const { return finished->count() == 1 ? finished->at(0).at(0).toInt() : -1; }
};

TEST(DestructiveQuestion, OpensCentredOverItsWindowWithTheSafeAnswerFocusedAndDefault) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        setenv("MARLOWICK_APPEARANCE", appearance, 1);
        QuestionOverWindow fixture;
        DestructiveQuestion& question = *fixture.question;
        EXPECT_EQ(question.title(), QStringLiteral("Delete \u201Ca.iso\u201D?"));
        EXPECT_EQ(question.windowTitle(), question.title());
        EXPECT_EQ(question.message(),
                  QStringLiteral("It will be removed from the drive, freeing 1 MB. This can't be undone."));
        EXPECT_EQ(question.keepButton(), findElement<QPushButton>(question, QStringLiteral("test.question.cancel")));
        EXPECT_EQ(question.actButton(), findElement<QPushButton>(question, QStringLiteral("test.question.delete")));
        EXPECT_EQ(question.keepButton()->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(question.actButton()->text(), QStringLiteral("Delete"));
        EXPECT_EQ(question.defaultButton(), question.keepButton());
        EXPECT_TRUE(question.keepButton()->hasFocus());
        EXPECT_EQ(question.windowModality(), Qt::WindowModal);
        const QPoint offset = question.frameGeometry().center() - fixture.window.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2) << "centred " << offset.x() << "," << offset.y() << " off";
        testing::saveScreenshot(question, std::string("destructive-question-") + appearance);
        question.reject();
    }
    unsetenv("MARLOWICK_APPEARANCE");
}

// Return, Enter and the keypad's Enter, from the action, the safe answer and the question
// itself, and Escape: each answers safely. Only a click acts.
TEST(DestructiveQuestion, KeysAnswerSafelyAndOnlyAClickActs) {
    struct Press {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Press presses[] = {{"return", Qt::Key_Return, Qt::NoModifier},
                             {"enter", Qt::Key_Enter, Qt::NoModifier},
                             {"keypadEnter", Qt::Key_Enter, Qt::KeypadModifier},
                             {"escape", Qt::Key_Escape, Qt::NoModifier}};
    enum class Focus { act, keep, question };
    for (const Press& press : presses) {
        for (const Focus focus : {Focus::act, Focus::keep, Focus::question}) {
            SCOPED_TRACE(std::string(press.name) + " on " +
                         (focus == Focus::act ? "the action" : focus == Focus::keep ? "the safe answer" : "the question"));
            QuestionOverWindow fixture;
            QWidget* target = focus == Focus::act    ? static_cast<QWidget*>(fixture.question->actButton())
                              : focus == Focus::keep ? static_cast<QWidget*>(fixture.question->keepButton())
                                                     : static_cast<QWidget*>(fixture.question);
            target->setFocus();
            QTest::keyClick(target, press.key, press.modifiers);
            EXPECT_EQ(fixture.answer(), QDialog::Rejected);
        }
    }
    QuestionOverWindow fixture;
    QTest::mouseClick(fixture.question->actButton(), Qt::LeftButton);
    EXPECT_EQ(fixture.answer(), QDialog::Accepted);
}

}  // namespace
}  // namespace marlowick::ui
