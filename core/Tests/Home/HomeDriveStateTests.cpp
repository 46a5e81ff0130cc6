#include "Home/HomeDriveState.hpp"

#include <gtest/gtest.h>

#include "Image/ByteCountText.hpp"
#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

using State = HomeDriveState;
using Kind = HomeOperationKind;
using Outcome = HomeOperationOutcome;
using Command = DriveMenuCommand;
using Add = HelperAddImageOutcome;

const HelperBlockError readError{BlockError::DeviceFailure{"read", "errno 5 (Input/output error)"}};
const HelperCommandError openError{HelperCommandError::CouldNotOpenSource{"/home/u/a.iso"}};

HelperVentoyLayout layout() { return HelperVentoyLayout(62'521'344, 512, 2048, 62'453'760, 62'455'808, 65'536, "gpt", 34); }

HelperResult detected(HelperDriveStatus::Case status) { return {HelperResult::Detected{HelperDriveStatus(std::move(status))}}; }

HelperResult report(bool completed, bool success, bool cancelled, std::vector<std::string> notes = {},
                    std::optional<std::string> aborted = std::nullopt,
                    std::optional<RawWriteVerification> verification = std::nullopt) {
    return {HelperResult::DriveOperation{HelperDriveOperationReport(HelperDriveOperationReport::Kind::prepare, completed,
                                                                    success, cancelled, std::move(notes),
                                                                    std::move(aborted), verification)}};
}

HelperResult added(Add::Case outcome) { return {HelperResult::AddImage{Add{std::move(outcome)}}}; }

const HelperResult imageListing{HelperResult::ImageListing{HelperImageListing(HelperImageListing::NotExfat{})}};

TEST(HomeDriveStateFromDetect, MapsEveryResult) {
    const HelperDriveUsage usage{1'000, 4'000, "exfat"};
    struct Row {
        const char* name;
        HelperResult result;
        State state;
    };
    const Row rows[] = {
        {"notVentoy", detected(HelperDriveStatus::NotVentoy{"No Ventoy partition table."}),
         State::Prepare{"No Ventoy partition table."}},
        {"ventoy", detected(HelperDriveStatus::Ventoy{layout(), "1.1.17", usage}),
         State::VentoyReady{layout(), "1.1.17", usage}},
        {"ventoyWithoutVersion", detected(HelperDriveStatus::Ventoy{layout(), std::nullopt, std::nullopt}),
         State::VentoyReady{layout(), std::nullopt, std::nullopt}},
        {"incompatible", detected(HelperDriveStatus::IncompatibleVentoy{"The EFI partition is 16 MiB."}),
         State::Incompatible{"The EFI partition is 16 MiB."}},
        {"readFailed", {HelperResult::DetectReadFailed{readError}},
         State::Unreadable{"This drive is connected but its layout couldn't be read. " + userMessage(readError) +
                           " It may also have been left half-written by an interrupted operation."}},
        {"failed", {HelperResult::Failed{openError}}, State::Error{userMessage(openError)}},
        {"driveOperation", report(true, true, false),
         State::Error{"Unexpected response while detecting the drive."}},
        {"addImage", added(Add::Cancelled{}), State::Error{"Unexpected response while detecting the drive."}},
        {"imageListing", imageListing, State::Error{"Unexpected response while detecting the drive."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(State::fromDetect(row.result), row.state);
    }
}

State done(Kind kind, Outcome outcome) { return State::Done{kind, std::move(outcome)}; }

TEST(HomeDriveStateFromOperationResult, MapsDriveOperationReportsInRuleOrder) {
    const char* partly = "The drive may be only partly written, so don't rely on it to boot — run the operation again.";
    const char* cancelled = "Cancelled — the drive may be partially written. Run the operation again.";
    using V = RawWriteVerification;
    struct Row {
        const char* name;
        Kind kind;
        HelperResult result;
        Outcome outcome;
    };
    const Row rows[] = {
        {"abortedWithReason", Kind::prepare, report(false, false, true, {}, "The drive is too small."),
         Outcome::failed("The drive is too small.")},
        {"abortedAndCancelledWithoutReason", Kind::update, report(false, false, true),
         Outcome::failed("The drive wasn't changed.")},
        {"cancelledBeatsSuccess", Kind::prepare, report(true, true, true), Outcome::failed(cancelled)},
        {"prepare", Kind::prepare, report(true, true, false), Outcome::succeeded("USB ready")},
        {"reinstall", Kind::reinstall, report(true, true, false), Outcome::succeeded("USB ready")},
        {"update", Kind::update, report(true, true, false), Outcome::succeeded("USB ready")},
        {"remove", Kind::removeVentoy, report(true, true, false),
         Outcome::succeeded("Ventoy removed")},
        {"addImageReport", Kind::addImage, report(true, true, false), Outcome::succeeded("Image added")},
        {"rawVerifiedOnMedium", Kind::writeRawImage, report(true, true, false, {}, {}, V::medium),
         Outcome::succeeded("Image written and verified")},
        {"rawCacheUncertain", Kind::writeRawImage,
         report(true, true, false, {}, {}, V::cacheUncertain), Outcome::succeeded("Image written")},
        {"rawNotVerified", Kind::writeRawImage, report(true, true, false, {}, {}, V::none),
         Outcome::succeeded("Image written")},
        {"rawWithoutVerification", Kind::writeRawImage, report(true, true, false),
         Outcome::succeeded("Image written")},
        {"failedWithoutNotes", Kind::prepare, report(true, false, false), Outcome::failed(partly)},
        // The notes are technical lines: they stay in the diagnostics.
        {"failedWithNotes", Kind::prepare,
         report(true, false, false, {"core.img read-back differs", "exFAT format rejected"}), Outcome::failed(partly)},
        {"abortedWithATechnicalReason", Kind::prepare, report(false, false, false, {}, "disk too small: 2048 < 131072"),
         Outcome::failed("Marlowick stopped before changing the drive. Read the drive again and retry; if it stops "
                         "again, copy the details below when you ask for help.")},
        {"abortedWithASentenceAndItsReason", Kind::update,
         report(false, false, false, {}, "Marlowick couldn't read this drive's GPT header, so nothing was changed. "
                                         "(read: errno 5 (Input/output error))"),
         Outcome::failed("Marlowick couldn't read this drive's GPT header, so nothing was changed.")},
        {"commandFailed", Kind::removeVentoy, {HelperResult::Failed{openError}}, Outcome::failed(userMessage(openError))},
        {"detected", Kind::prepare, detected(HelperDriveStatus::NotVentoy{"x"}),
         Outcome::failed("Unexpected response while running the operation.")},
        {"detectReadFailed", Kind::update, {HelperResult::DetectReadFailed{readError}},
         Outcome::failed("Unexpected response while running the operation.")},
        {"imageListing", Kind::addImage, imageListing, Outcome::failed("Unexpected response while running the operation.")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(State::fromOperationResult(row.kind, row.result), done(row.kind, row.outcome));
    }
}

TEST(HomeDriveStateFromOperationResult, MapsEveryAddImageOutcome) {
    const HelperImageEntry image("iso/debian-12.iso", "debian-12.iso", 659'554'304, false);
    const std::string needs = ByteCountText::fileSize(4'700'000'000);
    const std::string free = ByteCountText::fileSize(1'250'000'000);
    struct Row {
        const char* name;
        Add::Case outcome;
        Outcome expected;
    };
    const Row rows[] = {
        {"success", Add::Success{image, 1'000, 2'000}, Outcome::succeeded("Added debian-12.iso")},
        {"notEnoughSpace", Add::NotEnoughSpace{4'700'000'000, 1'250'000'000},
         Outcome::failed("Not enough room: needs " + needs + ", " + free + " free.")},
        {"invalid", Add::Invalid{"The image name is empty."}, Outcome::failed("The image name is empty.")},
        {"writeFailed", Add::WriteFailed{"copy", readError},
         Outcome::failed("The image wasn't copied. " + userMessage(readError))},
        {"readFailed", Add::ReadFailed{readError}, Outcome::failed("Couldn't read the image. " + userMessage(readError))},
        {"unsupported", Add::Unsupported{"TexFAT"},
         Outcome::failed("Marlowick couldn't work with this drive's file system, so the image wasn't copied. Preparing "
                         "the drive again will fix it — that erases everything on it.")},
        {"verificationFailed", Add::VerificationFailed{"digest differs"},
         Outcome::failed("The copy on the drive didn't match the image you picked, so Marlowick removed it. Try again "
                         "— if it happens again, the drive may be failing.")},
        {"volumeUnavailable", Add::VolumeUnavailable{"mount timed out"},
         Outcome::failed("Linux didn't make this drive's storage available, so nothing was copied. Eject the drive, "
                         "plug it back in, and try again. If it has a write-protect switch, turn it off.")},
        {"notExfat", Add::NotExfat{}, Outcome::failed("This drive's data partition isn't exFAT — prepare it first.")},
        {"cancelled", Add::Cancelled{}, Outcome::failed("Cancelled — nothing was added to the drive.")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(State::fromOperationResult(Kind::addImage, added(row.outcome)), done(Kind::addImage, row.expected));
    }
    EXPECT_EQ(State::addImageOutcome(Add{Add::Cancelled{}}), Outcome::failed("Cancelled — nothing was added to the drive."));
}

// A size the volume could not tell arrives as -1; it never reaches the sentence as "-1 byte".
TEST(HomeDriveStateFromOperationResult, LeavesUnknownByteCountsOutOfTheSentence) {
    const std::string needs = ByteCountText::fileSize(4'700'000'000);
    const std::string free = ByteCountText::fileSize(1'250'000'000);
    struct Row {
        std::int64_t bytesNeeded, bytesFree;
        std::string message;
    };
    const Row rows[] = {
        {4'700'000'000, -1, "Not enough room: needs " + needs + "."},
        {-1, 1'250'000'000, "Not enough room: " + free + " free."},
        {-1, -1, "Not enough room on the drive for this image."},
        {std::numeric_limits<std::int64_t>::min(), -5, "Not enough room on the drive for this image."},
        {0, 0, "Not enough room: needs " + ByteCountText::fileSize(0) + ", " + ByteCountText::fileSize(0) + " free."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        const auto state = State::fromOperationResult(Kind::addImage, added(Add::NotEnoughSpace{row.bytesNeeded, row.bytesFree}));
        EXPECT_EQ(state, done(Kind::addImage, Outcome::failed(row.message)));
        EXPECT_EQ(render(state).find("-"), std::string::npos) << render(state);
    }
}

TEST(HomeDriveState, TheVolumeSentenceComesFromThePlatformWording) {
    EXPECT_EQ(State::addImageOutcome(Add{Add::VolumeUnavailable{""}}),
              Outcome::failed(std::string(PlatformWording::volumeUnavailable)));
    EXPECT_TRUE(PlatformWording::volumeUnavailable.starts_with(PlatformWording::operatingSystem));
}

TEST(HomeDriveState, EnablesTheDriveMenuCommandsOfEachState) {
    struct Row {
        const char* name;
        State state;
        DriveMenuCommands commands;
    };
    const Row rows[] = {
        {"prepare", State::Prepare{"r"}, {Command::prepare, Command::writeRawImage, Command::eject}},
        {"ventoyReady",
         State::VentoyReady{layout(), "1.1.17", std::nullopt},
         {Command::update, Command::removeVentoy, Command::writeRawImage, Command::eject}},
        {"incompatible", State::Incompatible{"r"}, {Command::reinstall, Command::writeRawImage, Command::eject}},
        {"unreadable", State::Unreadable{"r"}, {Command::prepare, Command::writeRawImage, Command::eject}},
        {"error", State::Error{"m"}, {Command::eject}},
        {"done", done(Kind::prepare, Outcome::succeeded("USB ready")), {Command::eject}},
        {"operationRunning", State::OperationRunning{Kind::prepare, HomeOperationProgress(0.5, "Writing")}, {}},
        {"noDrive", State::NoDrive{}, {}},
        {"detecting", State::Detecting{}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.state.enabledDriveMenuCommands(), row.commands);
    }
    EXPECT_EQ(State(), State(State::NoDrive{})) << "a new state has no drive";
}

TEST(DriveMenuCommand, RawValuesAreTheCaseNamesExactly) {
    const char* names[] = {"prepare", "update", "reinstall", "removeVentoy", "writeRawImage", "eject"};
    const auto all = driveMenuCommandRawValues.all();
    ASSERT_EQ(all.size(), std::size(names));
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(rawValue(all[i]), names[i]);
        EXPECT_EQ(driveMenuCommandFromRaw(names[i]), all[i]);
    }
    for (const char* other : {"Prepare", "REMOVEVENTOY", "removeventoy", "", "eject "}) {
        EXPECT_EQ(driveMenuCommandFromRaw(other), std::nullopt) << other;
    }
}

}  // namespace
}  // namespace marlowick
