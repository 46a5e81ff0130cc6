#include "Home/QuitQuestion.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

using Kind = HomeOperationKind;

struct QuestionCase {
    Kind kind;
    const char* title;
    const char* message;
};

class QuitQuestionAbout : public ::testing::TestWithParam<QuestionCase> {};

// What runs, on which drive, and what stopping it part-way leaves there.
TEST_P(QuitQuestionAbout, NamesTheOperationTheDriveAndWhatStoppingLeaves) {
    const QuestionCase& c = GetParam();
    const QuitQuestion question = QuitQuestion::about(c.kind, "SanDisk Ultra");
    EXPECT_EQ(question.title, c.title);
    EXPECT_EQ(question.message, c.message);
    EXPECT_EQ(question.stopLabel, "Stop and Quit");
    EXPECT_EQ(question.keepLabel, "Don't Quit");
    EXPECT_EQ(question.waiting, "Stopping\u2026 Marlowick quits as soon as the operation has stopped.");
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, QuitQuestionAbout,
    ::testing::Values(
        QuestionCase{Kind::prepare, "Quit while preparing SanDisk Ultra?",
                     "Quitting stops the operation part-way. The drive is left half-prepared and can't be used until "
                     "it is prepared again."},
        QuestionCase{Kind::reinstall, "Quit while reinstalling Ventoy on SanDisk Ultra?",
                     "Quitting stops the operation part-way. The drive is left half-prepared and can't be used until "
                     "it is prepared again."},
        QuestionCase{Kind::update, "Quit while updating Ventoy on SanDisk Ultra?",
                     "Quitting stops the operation part-way. The drive's boot files are left half-written, so it may "
                     "not start a computer until Ventoy is updated again."},
        QuestionCase{Kind::removeVentoy, "Quit while removing Ventoy from SanDisk Ultra?",
                     "Quitting stops the operation part-way. The drive is left half-erased and can't be used until it "
                     "is prepared again."},
        QuestionCase{Kind::addImage, "Quit while copying an image to SanDisk Ultra?",
                     "Quitting stops the copy. The image isn't added; the drive and the images already on it stay as "
                     "they were."},
        QuestionCase{Kind::writeRawImage, "Quit while writing a disk image to SanDisk Ultra?",
                     "Quitting stops the operation part-way. The image is left half-written and the drive can't be "
                     "used until it is written or prepared again."}),
    [](const auto& info) { return std::string(caseName(info.param.kind)); });

}  // namespace
}  // namespace marlowick
