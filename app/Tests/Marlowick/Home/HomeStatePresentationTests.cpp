#include "Home/HomeStatePresentation.hpp"

#include <gtest/gtest.h>

#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using State = HomeDriveState;
using Action = HomeStatePresentation::Action;
using Kind = HomeOperationKind;

HomeDriveState done(Kind kind, std::string summary) {
    return State::Done{kind, HomeOperationOutcome{HomeOperationOutcome::Succeeded{std::move(summary)}}};
}
HomeDriveState failed(Kind kind, std::string message) {
    return State::Done{kind, HomeOperationOutcome{HomeOperationOutcome::Failed{std::move(message)}}};
}

const std::string phoneSentence =
    "Scan the code to continue on your phone — pick ISOs from the catalog and copy them to this drive.";
const std::string ejectSentence = "You can safely eject the drive now.";
const std::string incompatibleSubtitle =
    "This drive has a Ventoy layout that Marlowick can't update in place. A full reinstall is required, which erases "
    "the drive.";
const Action prepareAction{"Prepare…", true, "Prepare drive", "Erases the drive and sets it up as a Ventoy multiboot disk."};

TEST(HomeStatePresentation, EveryStateHasItsIconTitleSubtitleAndAction) {
    const struct {
        HomeDriveState state;
        const char* systemImage;
        BrandColor iconColor;
        std::string title;
        std::optional<std::string> subtitle;
        std::optional<Action> action;
    } rows[] = {
        {State::Prepare{"no Ventoy layout"}, "externaldrive.badge.plus", BrandColor::primary, "Prepare this drive",
         "This drive isn't set up as a Ventoy multiboot disk yet. Preparing erases everything on it.", prepareAction},
        {State::VentoyReady{testing::ventoyLayout(), "1.1.17", std::nullopt}, "externaldrive.badge.checkmark",
         BrandColor::successText, "Add an image", "This Ventoy drive is ready. Pick an ISO to copy onto it.",
         Action{"Add an image…", false, "Add an image", "Copies an image you pick onto the drive."}},
        // Messages and summaries go in exactly as they are, markup-like text included; the
        // detector's reason of an incompatible drive is not shown.
        {State::Incompatible{"Partition 2 is <b>too small</b>."}, "externaldrive.badge.exclamationmark",
         BrandColor::warningText, "This drive can't be updated in place", incompatibleSubtitle,
         Action{"Reinstall…", true, "Reinstall Ventoy", "Erases the drive and reinstalls Ventoy with a compatible layout."}},
        {State::Unreadable{"Reading sector 0 failed."}, "externaldrive.badge.exclamationmark", BrandColor::warningText,
         "This drive couldn't be read",
         "Reading sector 0 failed. You can reformat it to fix it — this erases everything on the drive.", prepareAction},
        {State::Error{"Tom &amp; Jerry"}, "externaldrive.badge.xmark", BrandColor::errorText, "Something went wrong",
         "Tom &amp; Jerry", Action{"Retry", false, "Retry", "Reads the drive again."}},
        {State::OperationRunning{Kind::prepare, HomeOperationProgress{0.5, "Writing…", std::nullopt, std::nullopt}},
         "gearshape", BrandColor::primary, "", std::nullopt, std::nullopt},
        {done(Kind::prepare, "Drive prepared"), "checkmark.circle.fill", BrandColor::successText, "Drive prepared",
         phoneSentence, Action{"Done", false, "Done", "Returns to the start."}},
        {done(Kind::reinstall, "Reinstalled"), "checkmark.circle.fill", BrandColor::successText, "Reinstalled",
         phoneSentence, Action{"Done", false, "Done", "Returns to the start."}},
        {done(Kind::update, "Updated"), "checkmark.circle.fill", BrandColor::successText, "Updated", phoneSentence,
         Action{"Done", false, "Done", "Returns to the start."}},
        {done(Kind::removeVentoy, "Ventoy removed"), "checkmark.circle.fill", BrandColor::successText, "Ventoy removed",
         ejectSentence, Action{"Done", false, "Done", "Returns to the start."}},
        {done(Kind::addImage, "Copied a.iso"), "checkmark.circle.fill", BrandColor::successText, "Copied a.iso",
         ejectSentence, Action{"Done", false, "Done", "Returns to the start."}},
        {done(Kind::writeRawImage, "Written"), "checkmark.circle.fill", BrandColor::successText, "Written",
         ejectSentence, Action{"Done", false, "Done", "Returns to the start."}},
        {failed(Kind::prepare, "The drive went away."), "xmark.octagon.fill", BrandColor::errorText,
         "Operation didn't finish", "The drive went away.", Action{"Back", false, "Back", "Returns to the start."}},
        {State::NoDrive{}, "externaldrive.badge.questionmark", BrandColor::textSubtle, "Connect a USB drive",
         "Plug in a USB drive to prepare it as a multiboot disk.", std::nullopt},
        {State::Detecting{}, "externaldrive.badge.timemachine", BrandColor::primary, "Reading drive…",
         "Checking the connected drive.", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(render(row.state));
        const HomeStatePresentation presentation(row.state);
        EXPECT_EQ(presentation.systemImage, row.systemImage);
        EXPECT_EQ(presentation.iconColor, row.iconColor);
        EXPECT_EQ(presentation.title, row.title);
        EXPECT_EQ(presentation.subtitle, row.subtitle);
        EXPECT_EQ(presentation.primaryAction, row.action);
        if (presentation.primaryAction) {
            // A spoken label never carries the ellipsis of a title that leads to a further step.
            EXPECT_EQ(presentation.primaryAction->accessibilityLabel.find("…"), std::string::npos);
        }
        // Only the empty drive slot is tinted with the subtle colour.
        EXPECT_EQ(presentation.iconColor == BrandColor::textSubtle, row.state.is<State::NoDrive>());
    }
}

TEST(HomeStatePresentation, ChipAndExplanationBelongToTheStatesThatNeedADecision) {
    const std::string preparing =
        "This drive isn't set up for Ventoy. Preparing erases everything on it, formats it as exFAT, and installs the "
        "Ventoy bootloader — then you can copy ISO files onto it and boot from them. Marlowick only reads the drive "
        "until you confirm.";
    const struct {
        HomeDriveState state;
        std::optional<DriveContextStatus> status;
        std::optional<StateDetail> detail;
    } rows[] = {
        {State::Prepare{""}, DriveContextStatus{"Not set up", "externaldrive.badge.plus", BrandColor::primary},
         StateDetail{"About preparing this drive", preparing}},
        // What the detector found is a technical line: it is not shown.
        {State::Prepare{"partition table is not a Ventoy layout"},
         DriveContextStatus{"Not set up", "externaldrive.badge.plus", BrandColor::primary},
         StateDetail{"About preparing this drive", preparing}},
        {State::Incompatible{"too small"},
         DriveContextStatus{"Incompatible layout", "exclamationmark.triangle.fill", BrandColor::warningText},
         StateDetail{"About this drive's layout",
                     "This drive has a Ventoy-like layout Marlowick can't safely update in place (it's foreign or too "
                     "small). A full reinstall lays down a fresh, compatible layout — which erases everything on the "
                     "drive."}},
        {State::Unreadable{"I/O error"},
         DriveContextStatus{"Couldn't be read", "exclamationmark.triangle.fill", BrandColor::warningText},
         StateDetail{"About this unreadable drive",
                     "The drive connected and reported its size, but its layout couldn't be read — usually because an "
                     "earlier operation was interrupted and left it half-written. Try reading it again, or reformat it "
                     "with Prepare to fix it (which erases everything on the drive)."}},
        {State::VentoyReady{testing::ventoyLayout(), std::nullopt, std::nullopt}, std::nullopt, std::nullopt},
        {State::Error{"x"}, std::nullopt, std::nullopt},
        {State::OperationRunning{}, std::nullopt, std::nullopt},
        {done(Kind::prepare, "ok"), std::nullopt, std::nullopt},
        {failed(Kind::prepare, "no"), std::nullopt, std::nullopt},
        {State::NoDrive{}, std::nullopt, std::nullopt},
        {State::Detecting{}, std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(render(row.state));
        const HomeStatePresentation presentation(row.state);
        EXPECT_EQ(presentation.contextStatus, row.status);
        EXPECT_EQ(presentation.detail, row.detail);
        EXPECT_EQ(HomeStatePresentation::contextStatusFor(row.state), row.status);
        EXPECT_EQ(HomeStatePresentation::detailFor(row.state), row.detail);
    }
}

// Every text that comes up from below on its way to the hero (the engine's, the runner's,
// the detector's, the installer's and the scripted worlds' own) reaches it as a user
// sentence; the technical line stays in the state's diagnostics and the log.
TEST(HomeStatePresentation, EveryTextFromBelowReachesTheHeroAsASentence) {
    const std::string couldNotOpen =
        "Marlowick couldn't open the drive, so nothing was changed. Check that it's still plugged in, then try again.";
    const std::string notFound =
        "Marlowick couldn't find this drive as it was chosen. It may have been unplugged or replaced \u2014 choose it "
        "again and try again.";
    const std::string stopped =
        "Marlowick stopped before changing the drive. Read the drive again and retry; if it stops again, copy the "
        "details below when you ask for help.";
    const std::string partly =
        "The drive may be only partly written, so don't rely on it to boot — run the operation again.";
    const auto detect = [](HelperResult result) { return State::fromDetect(result); };
    const auto run = [](Kind kind, HelperResult result) { return State::fromOperationResult(kind, result); };
    const auto deviceFailure = [](std::string detail) {
        return HelperResult::failed(HelperCommandError::CouldNotOpenDevice{std::move(detail)});
    };
    const auto report = [](std::optional<std::string> abortedReason, std::vector<std::string> notes) {
        HelperDriveOperationReport value;
        value.completed = !abortedReason.has_value();
        value.overallSuccess = false;
        value.abortedReason = std::move(abortedReason);
        value.notes = std::move(notes);
        return HelperResult{HelperResult::DriveOperation{value}};
    };
    const struct {
        const char* from;
        HomeDriveState state;
        std::string shown;
        const char* technical;  // never shown
    } rows[] = {
        {"the error scenario", detect(deviceFailure("device detached")), couldNotOpen, "detached"},
        {"the incompatible scenario",
         detect({HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::IncompatibleVentoy{
             "Foreign 32 MB EFI layout."}}}}),
         incompatibleSubtitle, "Foreign"},
        {"the detector", detect({HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::IncompatibleVentoy{
                             "disk too large for a 32-bit MBR Ventoy layout"}}}}),
         incompatibleSubtitle, "32-bit"},
        {"the engine's refusal", detect(deviceFailure(notFound + " (the kernel lists no block device sdb)")), notFound,
         "kernel"},
        {"the runner, dismissed", run(Kind::prepare, deviceFailure("administrator authorization was cancelled")),
         "Marlowick needs an administrator's permission to work with drives, and the request was cancelled, so "
         "nothing was changed. Try again and enter the password when you're asked.",
         "authorization"},
        {"the runner, no helper", run(Kind::update, deviceFailure("could not launch helper: errno 2 (No such file)")),
         "Marlowick couldn't start its helper program, so nothing was changed. Try again; if it keeps happening, "
         "reinstall Marlowick.",
         "errno"},
        {"the installer's technical abort",
         run(Kind::update, report("non-destructive update needs an exact Marlowick Ventoy layout; drive is "
                                  "incompatible (foreign) \u2014 reinstall instead",
                                  {})),
         stopped, "non-destructive"},
        {"the installer's sentence", run(Kind::update, report("Marlowick couldn't read this drive's GPT header, so "
                                                              "nothing was changed. (read: errno 5)",
                                                              {})),
         "Marlowick couldn't read this drive's GPT header, so nothing was changed.", "errno"},
        {"the report's notes", run(Kind::prepare, report(std::nullopt, {"exFAT format rejected"})), partly,
         "exFAT format"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.from);
        const HomeStatePresentation presentation(row.state);
        ASSERT_TRUE(presentation.subtitle.has_value());
        EXPECT_EQ(*presentation.subtitle, row.shown);
        EXPECT_EQ(presentation.subtitle->find(row.technical), std::string::npos);
        if (presentation.detail) {
            EXPECT_EQ(presentation.detail->body.find(row.technical), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace marlowick
