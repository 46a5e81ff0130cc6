#include "Home/HomeHeroPresentation.hpp"

#include <gtest/gtest.h>

#include "Block/DiscoveredDisk.hpp"

namespace marlowick {
namespace {

using State = HomeDriveState;
using Kind = HomeOperationKind;
using Hero = HomeHeroPresentation;
using Role = Hero::Role;

constexpr std::int64_t stickBytes = 16'000'000'000;

Hero::Inputs withDrive() {
    return Hero::Inputs{.recommendedVersion = "1.1.17",
                        .capacityBytes = stickBytes,
                        .hasDisk = true,
                        .deviceName = "Kingston DT",
                        .availableDiskCount = 1,
                        .stateHasDriveStatus = true};
}

State ready(std::optional<std::string> installed) {
    State::VentoyReady value;
    value.installedVersion = std::move(installed);
    return value;
}

State done(Kind kind, bool success) {
    return State::Done{kind, success ? HomeOperationOutcome::succeeded("USB ready") : HomeOperationOutcome::failed("No")};
}

std::vector<Role> roles(const std::vector<Hero::Link>& links) {
    std::vector<Role> result;
    for (const Hero::Link& link : links) result.push_back(link.role);
    return result;
}

std::vector<std::string> identifiers(const std::vector<Hero::Link>& links) {
    std::vector<std::string> result;
    for (const Hero::Link& link : links) result.push_back(link.identifier);
    return result;
}

struct LinkCase {
    const char* name;
    State state;
    std::vector<std::string> secondary;
    Hero::DriveRow row;
    std::vector<std::string> drive;
};

class HeroLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(HeroLinks, FollowTheState) {
    const LinkCase& c = GetParam();
    Hero::Inputs inputs = withDrive();
    inputs.availableDiskCount = 2;
    const Hero hero(c.state, inputs);
    EXPECT_EQ(identifiers(hero.secondaryLinks), c.secondary);
    EXPECT_EQ(hero.driveRow, c.row);
    EXPECT_EQ(identifiers(hero.driveLinks), c.drive);
}

using Ids = std::vector<std::string>;
const Ids changeRow{"home.drive.rescan", "home.drive.change"};

INSTANTIATE_TEST_SUITE_P(
    States, HeroLinks,
    ::testing::Values(
        LinkCase{"noDrive", State::NoDrive{}, {}, Hero::DriveRow::findDrive,
                 Ids{"home.drive.rescan", "home.drive.choose", "home.drive.bootGuide"}},
        LinkCase{"prepare", State::Prepare{"blank"}, {}, Hero::DriveRow::changeDrive, changeRow},
        LinkCase{"ready", ready("1.1.17"), Ids{"home.secondary.update", "home.secondary.remove"},
                 Hero::DriveRow::changeDrive, changeRow},
        LinkCase{"incompatible", State::Incompatible{"odd"}, {}, Hero::DriveRow::changeDrive, changeRow},
        LinkCase{"unreadable", State::Unreadable{"io"}, Ids{"home.secondary.tryAgain"}, Hero::DriveRow::changeDrive,
                 changeRow},
        LinkCase{"error", State::Error{"no"}, {}, Hero::DriveRow::changeDrive, changeRow},
        LinkCase{"detecting", State::Detecting{}, {}, Hero::DriveRow::none, {}},
        LinkCase{"preparedDone", done(Kind::prepare, true), Ids{"home.secondary.addAnother", "home.secondary.bootGuide"},
                 Hero::DriveRow::none, {}},
        LinkCase{"addedDone", done(Kind::addImage, true), Ids{"home.secondary.addAnother", "home.secondary.bootGuide"},
                 Hero::DriveRow::none, {}},
        LinkCase{"removedDone", done(Kind::removeVentoy, true), Ids{"home.secondary.bootGuide"}, Hero::DriveRow::none,
                 {}},
        LinkCase{"failedDone", done(Kind::prepare, false), {}, Hero::DriveRow::none, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HeroLinks, TheUpdateLinkOffersTheRecommendedReleaseOnlyWhenItIsNewer) {
    const struct {
        std::optional<std::string> installed;
        const char* title;
        bool emphasised;
    } rows[] = {{"1.0.99", "Update to 1.1.17", true}, {"1.1.17", "Reinstall boot files", false},
                {std::nullopt, "Reinstall boot files", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        const Hero hero(ready(row.installed), withDrive());
        ASSERT_EQ(roles(hero.secondaryLinks), (std::vector<Role>{Role::update, Role::removeVentoy}));
        EXPECT_EQ(hero.secondaryLinks[0].title, row.title);
        EXPECT_EQ(hero.secondaryLinks[0].accessibilityLabel, "Update Ventoy");
        EXPECT_EQ(hero.secondaryLinks[0].emphasised, row.emphasised);
        EXPECT_FALSE(hero.secondaryLinks[0].destructive);
        EXPECT_TRUE(hero.secondaryLinks[1].destructive);
    }
}

TEST(HeroLinks, AddingAnotherImageIsWordedAfterAnImageWasAdded) {
    const Hero afterAdd(done(Kind::addImage, true), withDrive());
    EXPECT_EQ(afterAdd.secondaryLinks[0].title, "Add another");
    EXPECT_EQ(afterAdd.secondaryLinks[0].accessibilityLabel, "Add another image");
    const Hero afterPrepare(done(Kind::prepare, true), withDrive());
    EXPECT_EQ(afterPrepare.secondaryLinks[0].title, "Add an image");
    EXPECT_EQ(afterPrepare.secondaryLinks[0].accessibilityHint, "Copies an image you pick onto the drive.");
}

TEST(HeroDriveRow, OffersTheDrivesThereAreAndNamesTheHiddenOnes) {
    Hero::Inputs none = withDrive();
    none.hasDisk = false;
    none.availableDiskCount = 0;
    const Hero empty(State::NoDrive{}, none);
    EXPECT_EQ(roles(empty.driveLinks), (std::vector<Role>{Role::rescan, Role::bootGuide}));
    EXPECT_EQ(empty.hiddenFixedStorageNotice, std::nullopt);

    none.hiddenFixedStorageCount = 2;
    const Hero hidden(State::NoDrive{}, none);
    ASSERT_TRUE(hidden.hiddenFixedStorageNotice.has_value());
    EXPECT_EQ(hidden.hiddenFixedStorageNotice->rfind("2 SSDs or hard drives are hidden", 0), 0U);

    // One drive, the one in use: nothing to change to.
    const Hero single(State::Prepare{"blank"}, withDrive());
    EXPECT_EQ(roles(single.driveLinks), (std::vector<Role>{Role::rescan}));
    Hero::Inputs two = withDrive();
    two.availableDiskCount = 2;
    const Hero change(State::Prepare{"blank"}, two);
    ASSERT_EQ(change.driveLinks.size(), 2U);
    EXPECT_EQ(change.driveLinks[1].title, "Using Kingston DT · Change drive");
    EXPECT_EQ(change.driveLinks[1].role, Role::chooseDrive);
    two.hasDisk = false;
    EXPECT_EQ(roles(Hero(State::Prepare{"blank"}, two).driveLinks), (std::vector<Role>{Role::rescan}));
}

struct PartsCase {
    const char* name;
    State state;
    std::optional<std::int64_t> capacity;
    bool hasDisk;
    bool hasStatus;
    bool erases;
    bool hasDiagnostics;
    bool header;
    bool caution;
    bool diagnostics;
    bool contents;
};

class HeroParts : public ::testing::TestWithParam<PartsCase> {};

TEST_P(HeroParts, ShowWhatTheStateAndTheDriveCallFor) {
    const PartsCase& c = GetParam();
    Hero::Inputs inputs = withDrive();
    inputs.capacityBytes = c.capacity;
    inputs.hasDisk = c.hasDisk;
    inputs.stateHasDriveStatus = c.hasStatus;
    inputs.primaryActionErases = c.erases;
    inputs.hasDiagnostics = c.hasDiagnostics;
    const Hero hero(c.state, inputs);
    EXPECT_EQ(hero.showsDriveHeader, c.header);
    EXPECT_EQ(hero.showsLargeDriveCaution, c.caution);
    EXPECT_EQ(hero.showsDiagnostics, c.diagnostics);
    EXPECT_EQ(hero.showsDriveContents, c.contents);
}

constexpr std::int64_t large = DiscoveredDisk::thumbDriveCapacityCeilingBytes;

INSTANTIATE_TEST_SUITE_P(
    States, HeroParts,
    ::testing::Values(
        PartsCase{"smallPrepare", State::Prepare{"blank"}, stickBytes, true, true, true, false, true, false, false, false},
        PartsCase{"largePrepare", State::Prepare{"blank"}, large, true, true, true, false, true, true, false, false},
        PartsCase{"largeReadyErasesNothing", ready("1.1.17"), large, true, true, false, false, true, false, false, true},
        PartsCase{"unknownSize", State::Prepare{"blank"}, std::nullopt, true, true, true, false, true, false, false,
                  false},
        PartsCase{"statusWithoutDisk", State::Prepare{"blank"}, stickBytes, false, true, true, false, false, false,
                  false, false},
        PartsCase{"noStatus", State::NoDrive{}, std::nullopt, false, false, false, false, false, false, false, false},
        PartsCase{"failedWithReport", done(Kind::prepare, false), stickBytes, true, true, false, true, true, false, true,
                  false},
        PartsCase{"failedWithoutReport", done(Kind::prepare, false), stickBytes, true, true, false, false, true, false,
                  false, false},
        PartsCase{"succeededWithReport", done(Kind::prepare, true), stickBytes, true, true, false, true, true, false,
                  false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace marlowick
