#include "Home/OperationConfirmationPresentation.hpp"

#include <gtest/gtest.h>

#include "Block/DiscoveredDisk.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;
namespace presentation = OperationConfirmationPresentation;

constexpr std::int64_t stickBytes = 16'000'000'000;
constexpr std::int64_t ceiling = DiscoveredDisk::thumbDriveCapacityCeilingBytes;

AdvancedInstallOptions validOptions() { return AdvancedInstallOptions(std::string("1.1.17")); }

// A reserve with no amount: the first rule the options check fails.
AdvancedInstallOptions invalidOptions() {
    AdvancedInstallOptions options = validOptions();
    options.reserveEnabled = true;
    options.reserveAmount = 0;
    return options;
}

struct EnableCase {
    const char* name;
    Kind kind;
    bool validOptions;
    bool acknowledged;
    bool enabled;
    bool returnConfirms;
};

class ConfirmationAction : public ::testing::TestWithParam<EnableCase> {};

TEST_P(ConfirmationAction, IsEnabledByTheAcknowledgementAndValidOptionsOnly) {
    const EnableCase& c = GetParam();
    const AdvancedInstallOptions options = c.validOptions ? validOptions() : invalidOptions();
    const bool enabled = presentation::confirmEnabled(c.kind, options, stickBytes, c.acknowledged);
    EXPECT_EQ(enabled, c.enabled);
    EXPECT_EQ(presentation::returnConfirms(c.kind, enabled), c.returnConfirms);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ConfirmationAction,
    ::testing::Values(
        // What erases nothing may be confirmed at once, and by Return.
        EnableCase{"addImageAtOnce", Kind::addImage, true, false, true, true},
        EnableCase{"updateAtOnce", Kind::update, true, false, true, true},
        EnableCase{"updateIgnoresTheOptions", Kind::update, false, false, true, true},
        // What erases waits for the acknowledgement, and Return never confirms it.
        EnableCase{"prepareUnacknowledged", Kind::prepare, true, false, false, false},
        EnableCase{"prepareAcknowledged", Kind::prepare, true, true, true, false},
        EnableCase{"prepareWithInvalidOptions", Kind::prepare, false, true, false, false},
        EnableCase{"reinstallAcknowledged", Kind::reinstall, true, true, true, false},
        EnableCase{"reinstallWithInvalidOptions", Kind::reinstall, false, true, false, false},
        EnableCase{"removeUnacknowledged", Kind::removeVentoy, true, false, false, false},
        // Removing formats the drive as plain storage: its options are checked too.
        EnableCase{"removeWithInvalidOptions", Kind::removeVentoy, false, true, false, false},
        EnableCase{"rawWriteUnacknowledged", Kind::writeRawImage, true, false, false, false},
        EnableCase{"rawWriteIgnoresTheOptions", Kind::writeRawImage, false, true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfirmationAction, AReserveTooLargeForThisDriveKeepsPrepareDisabled) {
    AdvancedInstallOptions options = validOptions();
    options.reserveEnabled = true;
    options.reserveAmount = 15;
    options.reserveUnit = ReserveUnit::gigabytes;
    EXPECT_FALSE(presentation::confirmEnabled(Kind::prepare, options, stickBytes, true));
    EXPECT_TRUE(presentation::confirmEnabled(Kind::prepare, options, 64'000'000'000, true));
}

struct LargeDriveCase {
    const char* name;
    Kind kind;
    std::optional<std::int64_t> capacity;
    bool large;
    bool caution;
};

class LargeDrive : public ::testing::TestWithParam<LargeDriveCase> {};

TEST_P(LargeDrive, IsNamedBeforeAnErasingKindFromTheLibrarysCeilingOn) {
    const LargeDriveCase& c = GetParam();
    EXPECT_EQ(presentation::isLargeDrive(c.capacity), c.large);
    EXPECT_EQ(presentation::showsLargeDriveCaution(c.kind, c.capacity), c.caution);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LargeDrive,
    ::testing::Values(LargeDriveCase{"unknownSize", Kind::prepare, std::nullopt, false, false},
                      LargeDriveCase{"justBelow", Kind::prepare, ceiling - 1, false, false},
                      LargeDriveCase{"atTheCeiling", Kind::prepare, ceiling, true, true},
                      LargeDriveCase{"removeOnATwoTerabyteDisk", Kind::removeVentoy, 2'000'000'000'000, true, true},
                      LargeDriveCase{"rawWriteAtTheCeiling", Kind::writeRawImage, ceiling, true, true},
                      LargeDriveCase{"updateErasesNothing", Kind::update, ceiling, true, false},
                      LargeDriveCase{"addImageErasesNothing", Kind::addImage, 2'000'000'000'000, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfirmationTexts, NameTheDriveAndTheActionTheyEnable) {
    EXPECT_EQ(presentation::acknowledgementLabel("Kingston DT"), "Confirm you understand this erases Kingston DT");
    const struct {
        Kind kind;
        const char* hint;
        const char* actionHint;
    } rows[] = {
        {Kind::prepare, "Enables the Prepare button.", "Erases the drive and sets it up as a Ventoy multiboot disk."},
        {Kind::reinstall, "Enables the Reinstall button.",
         "Erases the drive and reinstalls Ventoy with a compatible layout."},
        {Kind::update, "Enables the Update button.", "Refreshes the boot files. Your images are kept."},
        {Kind::removeVentoy, "Enables the Remove button.",
         "Erases Ventoy and everything on the drive, returning it to plain storage."},
        {Kind::addImage, "Enables the Add button.", "Copies an image you pick onto the drive."},
        {Kind::writeRawImage, "Enables the Write button.", "Replaces everything on the drive with one disk image you pick."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(presentation::actionLabel(row.kind));
        EXPECT_EQ(presentation::acknowledgementHint(row.kind), row.hint);
        EXPECT_EQ(presentation::actionHint(row.kind), row.actionHint);
    }
    EXPECT_EQ(std::string(presentation::acknowledgementCaptionBefore) + "Stick" +
                  std::string(presentation::acknowledgementCaptionAfter),
              "I understand this permanently erases everything on Stick.");
    EXPECT_EQ(presentation::downloadNotice(180'000'000), "First use downloads about 180 MB of Ventoy boot files.");
    EXPECT_EQ(presentation::explanation(Kind::prepare, "Stick", -1),
              "This erases everything on Stick (Unknown size) and sets it up as a Ventoy multiboot drive.");
}

}  // namespace
}  // namespace marlowick
