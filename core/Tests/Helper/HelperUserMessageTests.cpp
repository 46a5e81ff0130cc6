#include <gtest/gtest.h>

#include "Helper/ExfatWriteErrorText.hpp"
#include "Helper/HelperCommandError.hpp"

namespace marlowick {
namespace {

using Verdict = TargetVerification::Verdict;

constexpr std::string_view internalError =
    "Marlowick couldn't start the operation because of an internal error. The drive was not changed.";

TEST(ExfatWriteErrorText, EachCaseHasItsSentence) {
    const struct {
        ExfatWriteError::Case error;
        std::string text;
    } cases[] = {
        {ExfatWriteError::NameTooLong{300},
         "That image's file name is too long for an exFAT drive (300 characters). Rename it and try again."},
        {ExfatWriteError::NameNotAscii{"caf\xC3\xA9.iso"},
         "That image's file name contains accented or non-English characters, which this drive's file system can't "
         "store. Rename it using plain English letters, digits, dots, dashes or underscores."},
        {ExfatWriteError::NegativeSize{-1},
         "Marlowick couldn't copy that image onto this drive. The drive was not changed."},
        {ExfatWriteError::NotEnoughSpace{3, 1},
         "There isn't enough free space on the drive for this image (it needs 3 blocks and 1 are free)."},
        {ExfatWriteError::SourceTooShort{10, 5},
         "The image file ended sooner than its size said it would \xE2\x80\x94 it may still be downloading, or it may "
         "be damaged. Nothing was copied."},
        {ExfatWriteError::Unsupported{"fragmented"},
         "Marlowick couldn't copy that image onto this drive. The drive was not changed."},
        {ExfatWriteError::EmptyName{}, "That image has no file name."},
    };
    for (const auto& c : cases) EXPECT_EQ(userMessage(ExfatWriteError{c.error}), c.text);
}

TEST(HelperCommandErrorText, EachCaseHasItsSentenceAndItsTechnicalLine) {
    const struct {
        HelperCommandError::Case error;
        std::string user;
        std::string diagnostic;
    } cases[] = {
        {HelperCommandError::CouldNotOpenDevice{"x"}, "x", "could not open device: x"},
        {HelperCommandError::CouldNotOpenSource{"/home/u/a.iso"},
         "Marlowick couldn't read the image file you picked. Check that it still exists and try again.",
         "could not open source: /home/u/a.iso"},
        {HelperCommandError::InvalidOptions{"blankVolumeLabel"}, std::string(internalError),
         "invalid options: blankVolumeLabel"},
        {HelperCommandError::MalformedCommand{"helper received undecodable command bytes"}, std::string(internalError),
         "malformed command: helper received undecodable command bytes"},
        {HelperCommandError::SourceOnTarget{},
         "The image you picked is stored on the drive you're about to erase, so Marlowick stopped before writing "
         "anything. Copy the image somewhere else first \xE2\x80\x94 your computer's own disk, say \xE2\x80\x94 and "
         "try again.",
         "refused: the raw-write source lives on the target disk"},
        {HelperCommandError::TargetVerificationFailed{{Verdict::DeviceNotFound{"sdb"}}},
         "The drive you selected isn't connected any more, so Marlowick stopped before writing anything. Plug it back "
         "in and choose it again.",
         "target refused: sdb is no longer attached"},
        {HelperCommandError::TargetVerificationFailed{{Verdict::FingerprintMismatch{
             "sdb", DeviceFingerprint::Field::serialNumber}}},
         "The drive at that position isn't the one you selected \xE2\x80\x94 Linux may have renumbered it, or a "
         "different drive was plugged in. Marlowick stopped before writing anything. Choose the drive again to "
         "continue.",
         "target refused: sdb is a different device: serialNumber changed"},
        {HelperCommandError::TargetVerificationFailed{{Verdict::IneligibleTarget{
             "sda", TargetVerification::IneligibilityReason::notWholeDisk}}},
         "That's part of another drive rather than a drive of its own, so Marlowick refused to write to it. Nothing "
         "was changed. Choose the whole drive instead.",
         "target refused: sda is not a legal target: notWholeDisk"},
    };
    for (const auto& c : cases) {
        const HelperCommandError error{c.error};
        EXPECT_EQ(userMessage(error), c.user);
        EXPECT_EQ(diagnosticDescription(error), c.diagnostic);
    }
}

}  // namespace
}  // namespace marlowick
