#include <gtest/gtest.h>

#include "Exfat/ExfatWriteErrorText.hpp"
#include "HelperWire/HelperCommandError.hpp"
#include "HelperClient/PrivilegedSubprocessEngineRunner.hpp"

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

// What the engine, the runner and the scripted worlds put in the detail of a device that
// could not be opened, and what of it the user sees: a sentence, never a technical line.
TEST(HelperCommandErrorText, ADeviceDetailReachesTheUserOnlyAsASentence) {
    const std::string couldNotOpen =
        "Marlowick couldn't open the drive, so nothing was changed. Check that it's still plugged in, then try again.";
    const std::string notFound =
        "Marlowick couldn't find this drive as it was chosen. It may have been unplugged or replaced \u2014 choose "
        "it again and try again.";
    const struct {
        const char* name;
        std::string detail;
        std::string shown;
    } cases[] = {
        {"engine sentence", notFound, notFound},
        {"engine sentence and its reason", notFound + " (the kernel lists no block device sdb)", notFound},
        {"reason with parentheses of its own", notFound + " (stat /dev/sdb: errno 2 (No such file or directory))",
         notFound},
        {"parentheses inside the sentence stay",
         "There isn't enough free space (it needs 3 blocks and 1 are free).",
         "There isn't enough free space (it needs 3 blocks and 1 are free)."},
        {"authorisation cancelled", std::string(PrivilegedSubprocessEngineRunner::authorizationCancelledDetail),
         "Marlowick needs an administrator's permission to work with drives, and the request was cancelled, so "
         "nothing was changed. Try again and enter the password when you're asked."},
        {"authorisation refused", std::string(PrivilegedSubprocessEngineRunner::authorizationFailedDetail),
         "Marlowick wasn't given an administrator's permission to work with drives, so nothing was changed. Try "
         "again with the password of an administrator of this computer."},
        {"helper not launched",
         std::string(PrivilegedSubprocessEngineRunner::launchFailedPrefix) + "errno 2 (No such file or directory)",
         "Marlowick couldn't start its helper program, so nothing was changed. Try again; if it keeps happening, "
         "reinstall Marlowick."},
        {"scripted detail", "device detached", couldNotOpen},
        {"no worker thread", "no background thread could be started", couldNotOpen},
        {"lower-case with a reason", "open failed (errno 16)", couldNotOpen},
        {"capital but no sentence", "EBUSY", couldNotOpen},
        {"empty", "", couldNotOpen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HelperCommandError error{HelperCommandError::CouldNotOpenDevice{c.detail}};
        EXPECT_EQ(userMessage(error), c.shown);
        // The diagnostics keep the detail whole.
        EXPECT_EQ(diagnosticDescription(error), "could not open device: " + c.detail);
    }
}

TEST(HelperCommandErrorText, EachCaseHasItsSentenceAndItsTechnicalLine) {
    const struct {
        HelperCommandError::Case error;
        std::string user;
        std::string diagnostic;
    } cases[] = {
        // The detail is a technical line here; the engine's sentence case is tested below.
        {HelperCommandError::CouldNotOpenDevice{"x"},
         "Marlowick couldn't open the drive, so nothing was changed. Check that it's still plugged in, then try again.",
         "could not open device: x"},
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
