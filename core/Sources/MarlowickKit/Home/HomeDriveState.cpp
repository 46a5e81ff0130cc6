#include "Home/HomeDriveState.hpp"

#include "Image/ByteCountText.hpp"
#include "Text/CaseDescription.hpp"
#include "Text/PlatformWording.hpp"
#include "Text/UserSentence.hpp"

namespace marlowick {
namespace {

using State = HomeDriveState;
using Outcome = HomeOperationOutcome;
using Add = HelperAddImageOutcome;

constexpr std::string_view cancelledMidWay = "Cancelled — the drive may be partially written. Run the operation again.";
constexpr std::string_view partlyWritten =
    "The drive may be only partly written, so don't rely on it to boot — run the operation again.";
// An operation that stopped for a technical reason; the reason is in the diagnostics.
constexpr std::string_view stoppedUnchanged =
    "Marlowick stopped before changing the drive. Read the drive again and retry; if it stops again, copy the "
    "details below when you ask for help.";

struct DetectState {
    State operator()(const HelperResult::Detected& detected) const {
        return std::visit(
            [](const auto& status) -> State {
                using Status = std::decay_t<decltype(status)>;
                if constexpr (std::is_same_v<Status, HelperDriveStatus::NotVentoy>) {
                    return State::Prepare{status.reason};
                } else if constexpr (std::is_same_v<Status, HelperDriveStatus::Ventoy>) {
                    return State::VentoyReady{status.layout, status.installedVersion, status.usage};
                } else {
                    return State::Incompatible{status.reason};
                }
            },
            detected.status.value);
    }
    State operator()(const HelperResult::DetectReadFailed& failed) const {
        return State::Unreadable{"This drive is connected but its layout couldn't be read. " + userMessage(failed.error) +
                                 " It may also have been left half-written by an interrupted operation."};
    }
    State operator()(const HelperResult::Failed& failed) const { return State::Error{userMessage(failed.error)}; }
    template <class Other>
    State operator()(const Other&) const {
        return State::Error{std::string(unexpectedDetectResponseMessage)};
    }
};

std::string successSummary(HomeOperationKind kind, const HelperDriveOperationReport& report) {
    switch (kind) {
        case HomeOperationKind::prepare:
        case HomeOperationKind::reinstall:
        case HomeOperationKind::update: return "USB ready";
        case HomeOperationKind::removeVentoy: return "Ventoy removed";
        case HomeOperationKind::addImage: return "Image added";
        case HomeOperationKind::writeRawImage:
            return report.rawWriteVerification == RawWriteVerification::medium ? "Image written and verified"
                                                                               : "Image written";
    }
    return "Done";
}

Outcome driveOperationOutcome(HomeOperationKind kind, const HelperDriveOperationReport& report) {
    // The window shows sentences only: an abort reason that is a technical line, and the
    // report's notes, stay in the diagnostics.
    if (!report.completed) {
        if (!report.abortedReason) return Outcome::failed("The drive wasn't changed.");
        return Outcome::failed(userSentence(*report.abortedReason).value_or(std::string(stoppedUnchanged)));
    }
    if (report.wasCancelled) return Outcome::failed(std::string(cancelledMidWay));
    if (report.overallSuccess) return Outcome::succeeded(successSummary(kind, report));
    return Outcome::failed(std::string(partlyWritten));
}

// A count below 0 is one the volume could not tell; it is left out of the sentence
// rather than shown as a negative size.
std::string notEnoughSpaceMessage(std::int64_t bytesNeeded, std::int64_t bytesFree) {
    const bool neededKnown = bytesNeeded >= 0;
    const bool freeKnown = bytesFree >= 0;
    if (neededKnown && freeKnown) {
        return "Not enough room: needs " + ByteCountText::fileSize(bytesNeeded) + ", " +
               ByteCountText::fileSize(bytesFree) + " free.";
    }
    if (neededKnown) return "Not enough room: needs " + ByteCountText::fileSize(bytesNeeded) + ".";
    if (freeKnown) return "Not enough room: " + ByteCountText::fileSize(bytesFree) + " free.";
    return "Not enough room on the drive for this image.";
}

struct AddImageText {
    Outcome operator()(const Add::Success& success) const { return Outcome::succeeded("Added " + success.image.name); }
    Outcome operator()(const Add::NotEnoughSpace& space) const {
        return Outcome::failed(notEnoughSpaceMessage(space.bytesNeeded, space.bytesFree));
    }
    Outcome operator()(const Add::Invalid& invalid) const { return Outcome::failed(invalid.reason); }
    Outcome operator()(const Add::WriteFailed& failed) const {
        return Outcome::failed("The image wasn't copied. " + userMessage(failed.error));
    }
    Outcome operator()(const Add::ReadFailed& failed) const {
        return Outcome::failed("Couldn't read the image. " + userMessage(failed.error));
    }
    Outcome operator()(const Add::Unsupported&) const {
        return Outcome::failed(
            "Marlowick couldn't work with this drive's file system, so the image wasn't copied. Preparing the drive "
            "again will fix it — that erases everything on it.");
    }
    Outcome operator()(const Add::VerificationFailed&) const {
        return Outcome::failed(
            "The copy on the drive didn't match the image you picked, so Marlowick removed it. Try again — if it "
            "happens again, the drive may be failing.");
    }
    Outcome operator()(const Add::VolumeUnavailable&) const {
        return Outcome::failed(std::string(PlatformWording::volumeUnavailable));
    }
    Outcome operator()(const Add::NotExfat&) const {
        return Outcome::failed("This drive's data partition isn't exFAT — prepare it first.");
    }
    Outcome operator()(const Add::Cancelled&) const {
        return Outcome::failed("Cancelled — nothing was added to the drive.");
    }
};

struct OperationOutcome {
    HomeOperationKind kind;
    Outcome operator()(const HelperResult::DriveOperation& operation) const {
        return driveOperationOutcome(kind, operation.report);
    }
    Outcome operator()(const HelperResult::AddImage& added) const { return State::addImageOutcome(added.outcome); }
    Outcome operator()(const HelperResult::Failed& failed) const { return Outcome::failed(userMessage(failed.error)); }
    template <class Other>
    Outcome operator()(const Other&) const {
        return Outcome::failed(std::string(unexpectedOperationResponseMessage));
    }
};

using Command = DriveMenuCommand;

struct EnabledCommands {
    DriveMenuCommands operator()(const State::Prepare&) const {
        return {Command::prepare, Command::writeRawImage, Command::eject};
    }
    DriveMenuCommands operator()(const State::VentoyReady&) const {
        return {Command::update, Command::removeVentoy, Command::writeRawImage, Command::eject};
    }
    DriveMenuCommands operator()(const State::Incompatible&) const {
        return {Command::reinstall, Command::writeRawImage, Command::eject};
    }
    DriveMenuCommands operator()(const State::Unreadable&) const {
        return {Command::prepare, Command::writeRawImage, Command::eject};
    }
    DriveMenuCommands operator()(const State::Error&) const { return {Command::eject}; }
    DriveMenuCommands operator()(const State::Done&) const { return {Command::eject}; }
    template <class Busy>  // operationRunning, noDrive, detecting
    DriveMenuCommands operator()(const Busy&) const {
        return {};
    }
};

struct StateText {
    std::string operator()(const State::Prepare& s) const { return CaseDescription("prepare").field("reason", s.reason).str(); }
    std::string operator()(const State::VentoyReady& s) const {
        auto description = CaseDescription("ventoyReady").field("partitionStyle", s.layout.partitionStyle);
        description.field("installedVersion", s.installedVersion);
        if (s.usage) description.field("freeBytes", s.usage->freeBytes).field("totalBytes", s.usage->totalBytes);
        return description.str();
    }
    std::string operator()(const State::Incompatible& s) const {
        return CaseDescription("incompatible").field("reason", s.reason).str();
    }
    std::string operator()(const State::Unreadable& s) const {
        return CaseDescription("unreadable").field("reason", s.reason).str();
    }
    std::string operator()(const State::Error& s) const { return CaseDescription("error").field("message", s.message).str(); }
    std::string operator()(const State::OperationRunning& s) const {
        auto description = CaseDescription("operationRunning").rawField("kind", caseName(s.kind));
        description.rawField("fraction", std::to_string(s.progress.fraction)).field("stageLabel", s.progress.stageLabel);
        return description.str();
    }
    std::string operator()(const State::Done& s) const {
        return CaseDescription("done").rawField("kind", caseName(s.kind)).rawField("outcome", render(s.outcome)).str();
    }
    std::string operator()(const State::NoDrive&) const { return "noDrive"; }
    std::string operator()(const State::Detecting&) const { return "detecting"; }
};

}  // namespace

HomeDriveState HomeDriveState::fromDetect(const HelperResult& result) { return std::visit(DetectState{}, result.value); }

HomeDriveState HomeDriveState::fromOperationResult(HomeOperationKind kind, const HelperResult& result) {
    return Done{kind, std::visit(OperationOutcome{kind}, result.value)};
}

HomeOperationOutcome HomeDriveState::addImageOutcome(const HelperAddImageOutcome& outcome) {
    return std::visit(AddImageText{}, outcome.value);
}

DriveMenuCommands HomeDriveState::enabledDriveMenuCommands() const { return std::visit(EnabledCommands{}, value); }

std::string render(const HomeDriveState& state) { return std::visit(StateText{}, state.value); }

void PrintTo(const HomeDriveState& state, std::ostream* os) { *os << render(state); }

}  // namespace marlowick
