#include <gtest/gtest.h>

#include "Diagnostics/LogSinks.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;
using Property = HomeViewModel::Property;

// A USB disk that counts as fixed storage: offered only with fixed storage included.
DiscoveredDisk usbSsd(const std::string& bsdName) {
    DiscoveredDisk disk = usbStick(bsdName, "SSD-" + bsdName, "Portable SSD");
    disk.isSolidState = true;
    return disk;
}

std::vector<std::string> loggedMessages(const MarlowickLog::MemorySink& sink) {
    std::vector<std::string> messages;
    for (const MarlowickLog::Record& record : sink.records()) messages.push_back(record.message);
    return messages;
}

class HomeViewModelDrives : public ::testing::Test {
protected:
    void SetUp() override { MarlowickLog::setSink(log); }
    void TearDown() override { MarlowickLog::setSink(nullptr); }

    [[nodiscard]] int detections() const {
        int count = 0;
        for (const HelperCommand& command : harness.runner->commands()) {
            count += std::holds_alternative<HelperCommand::Detect>(command.value) ? 1 : 0;
        }
        return count;
    }

    const std::shared_ptr<MarlowickLog::MemorySink> log = std::make_shared<MarlowickLog::MemorySink>();
    HomeModelHarness harness;
};

struct ScanCase {
    const char* name;
    std::vector<DiscoveredDisk> listed;
    bool includeFixedStorage;
    std::optional<DiscoveredDisk> selectedBefore;  // picked from an earlier listing
    std::optional<std::string> selectedAfter;      // kernel name, or no selection
    bool pickerOpens;
    bool detects;
};

class HomeViewModelScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(HomeViewModelScan, SelectsKeepsOrAsks) {
    const ScanCase& c = GetParam();
    HomeModelHarness harness;
    harness.includeFixedStorage = c.includeFixedStorage;
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();
    if (c.selectedBefore) {
        model->selectDisk(*c.selectedBefore);
        harness.settle();
    }
    const std::size_t commandsBefore = harness.runner->commands().size();
    harness.disks = c.listed;
    harness.forget();

    model->refreshDisks();
    harness.settle();

    if (c.selectedAfter) {
        ASSERT_TRUE(model->disk().has_value());
        EXPECT_EQ(model->disk()->rawDevicePath, "/dev/" + *c.selectedAfter);
    } else {
        EXPECT_FALSE(model->disk().has_value());
        EXPECT_FALSE(model->selectedDiskName().has_value());
        EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::NoDrive{}));
    }
    EXPECT_EQ(model->isPickingDisk(), c.pickerOpens);
    EXPECT_EQ(harness.announced(Property::isPickingDisk), c.pickerOpens ? 1 : 0);
    EXPECT_EQ(harness.runner->commands().size() - commandsBefore, c.detects ? 1U : 0U);
    if (c.detects) {
        // Through detecting to what the drive holds.
        ASSERT_GE(harness.states.size(), 2U);
        EXPECT_EQ(harness.states.back(), HomeDriveState(HomeDriveState::Prepare{"no Ventoy layout"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scan, HomeViewModelScan,
    ::testing::Values(
        ScanCase{"oneStickNothingSelected", {usbStick("sdb")}, false, std::nullopt, "sdb", false, true},
        ScanCase{"oneFixedDiskNothingSelected", {usbSsd("sdb")}, true, std::nullopt, std::nullopt, true, false},
        ScanCase{"oneFixedDiskAlreadySelected", {usbSsd("sdb")}, true, usbSsd("sdb"), "sdb", false, true},
        ScanCase{"twoDrivesSecondSelected", {usbStick("sdb"), usbStick("sdc", "SER2")}, false, usbStick("sdc", "SER2"),
                 "sdc", false, true},
        ScanCase{"twoDrivesMissingOneSelected", {usbStick("sdb"), usbStick("sdc", "SER2")}, false,
                 usbStick("sdd", "SER3"), std::nullopt, true, false},
        ScanCase{"noDriveOneSelected", {}, false, usbStick("sdb"), "sdb", false, true},
        ScanCase{"noDriveNothingSelected", {}, false, std::nullopt, std::nullopt, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HomeViewModelDrives, SelectingTheOnlyStickLogsItsIdentityAndDetectsIt) {
    harness.disks = {usbStick("sdb", "SER1", "Stick")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();

    model->refreshDisks();
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Detecting{}));
    EXPECT_EQ(model->availableDisks(), harness.disks);
    harness.settle();

    EXPECT_EQ(model->selectedDiskName(), "Stick");
    EXPECT_EQ(model->disk(), HelperDiskRef(harness.disks.front()));
    const std::vector<std::string> messages = loggedMessages(*log);
    EXPECT_NE(std::find(messages.begin(), messages.end(), "enumerated 1 whole disk(s), 1 eligible under usbOnly"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "selected sdb, 16000000000 bytes, identity=unit"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "detect sdb \u2192 not a Ventoy drive: no Ventoy layout"),
              messages.end())
        << ::testing::PrintToString(messages);
}

TEST_F(HomeViewModelDrives, FixedStorageHeldBackIsCounted) {
    harness.disks = {usbStick("sdb"), usbSsd("sdc"), usbSsd("sdd")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();
    model->refreshDisks();
    EXPECT_EQ(model->hiddenFixedStorageCount(), 2);
    harness.settle();

    model->setIncludeFixedStorage(true);
    harness.settle();
    EXPECT_TRUE(model->includeFixedStorage());
    EXPECT_EQ(model->hiddenFixedStorageCount(), 0);
    EXPECT_EQ(model->availableDisks().size(), 3U);
}

TEST_F(HomeViewModelDrives, OnlyTheLastOfTwoDetectionsDecides) {
    const HelperVentoyLayout layout = testing::ventoyLayout();
    harness.runner->script([&, calls = 0](const HelperCommand&, const HelperProgressHandler&,
                                          const HelperCancelCheck&) mutable {
        return ++calls == 1 ? testing::detectedNotVentoy("answered first") : testing::detectedNotVentoy("answered second");
    });
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")));
    model->detect();
    model->detect();
    // The first detection's engine call ends last, after the second has been applied.
    harness.background.runNewest();
    harness.main.runAll();
    harness.background.runAll();
    harness.main.runAll();

    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Prepare{"answered first"}))
        << "the later detection decides, whichever engine call ends last";
    EXPECT_EQ(detections(), 2);
}

TEST_F(HomeViewModelDrives, ALateDetectionOfAnotherDriveIsDropped) {
    harness.runner->script([](const HelperCommand& command, const HelperProgressHandler&, const HelperCancelCheck&) {
        return testing::detectedNotVentoy(command.disk().rawDevicePath);
    });
    const DiscoveredDisk first = usbStick("sdb");
    const DiscoveredDisk second = usbStick("sdc", "SER2");
    const auto model = harness.make();
    model->selectDisk(first);
    model->selectDisk(second);
    harness.background.runNewest();  // sdc answers first
    harness.main.runAll();
    harness.settle();  // then sdb's late answer

    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Prepare{"/dev/sdc"}));
    EXPECT_EQ(model->disk(), HelperDiskRef(second));
}

TEST_F(HomeViewModelDrives, ADetectionAnsweredAfterEjectIsDropped) {
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->detect();
    model->ejectDrive();
    harness.settle();
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::NoDrive{}));
    EXPECT_EQ(harness.ejected.size(), 1U);
}

TEST_F(HomeViewModelDrives, UnknownFreeSpaceIsNotKept) {
    const HelperVentoyLayout layout = testing::ventoyLayout();
    harness.runner->script([&](const HelperCommand& command, const HelperProgressHandler&, const HelperCancelCheck&) {
        if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing({});
        return testing::detectedVentoy(layout, "1.1.17", HelperDriveUsage{-1, 15'000'000'000, "exfat"});
    });
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")));
    model->detect();
    harness.settle();
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::VentoyReady{layout, "1.1.17", std::nullopt}));

    harness.runner->script([&](const HelperCommand& command, const HelperProgressHandler&, const HelperCancelCheck&) {
        if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing({});
        return testing::detectedVentoy(layout, "1.1.17", HelperDriveUsage{4096, 15'000'000'000, "exfat"});
    });
    model->detect();
    harness.settle();
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::VentoyReady{
                                  layout, "1.1.17", HelperDriveUsage{4096, 15'000'000'000, "exfat"}}));
}

TEST_F(HomeViewModelDrives, ThePickerAndEjectWaitForOperationsAndConfirmations) {
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->primaryAction();  // prepare waits for confirmation
    ASSERT_EQ(model->pendingOperation(), HomeOperationKind::prepare);

    model->presentDiskPicker();
    model->ejectDrive();
    model->setIncludeFixedStorage(true);
    model->setDriveVisibility(DriveVisibility::allExternal);
    model->setVerifyCopiedImages(false);
    EXPECT_FALSE(model->isPickingDisk());
    EXPECT_TRUE(harness.ejected.empty());
    EXPECT_TRUE(model->disk().has_value());
    EXPECT_FALSE(model->includeFixedStorage());
    EXPECT_EQ(model->driveVisibility(), DriveVisibility::usbOnly);
    EXPECT_TRUE(model->verifyCopiedImages());
    EXPECT_EQ(harness.diskListings, 0);

    model->setPendingOperation(std::nullopt);  // the sheet is dismissed
    model->presentDiskPicker();
    EXPECT_TRUE(model->isPickingDisk());
}

TEST_F(HomeViewModelDrives, SettingsRescanOnlyWhenTheyChangeWhatIsListed) {
    const auto model = harness.make();
    model->setDriveVisibility(DriveVisibility::usbOnly);
    EXPECT_EQ(harness.diskListings, 0);
    model->setVerifyCopiedImages(false);
    EXPECT_FALSE(model->verifyCopiedImages());
    EXPECT_EQ(harness.diskListings, 0);
    model->setDriveVisibility(DriveVisibility::allExternal);
    EXPECT_EQ(model->driveVisibility(), DriveVisibility::allExternal);
    EXPECT_EQ(harness.diskListings, 1);
}

TEST_F(HomeViewModelDrives, EjectGivesTheDriveBackAndClearsTheSelection) {
    harness.disks = {usbStick("sdb")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();
    model->refreshDisks();
    harness.settle();

    model->invokeDriveMenuCommand(DriveMenuCommand::eject);
    ASSERT_EQ(harness.ejected.size(), 1U);
    EXPECT_EQ(harness.ejected.front(), HelperDiskRef(harness.disks.front()));
    EXPECT_FALSE(model->disk().has_value());
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::NoDrive{}));
    EXPECT_EQ(model->availableDisks().size(), 1U);
}

// The stick picked earlier is gone from its device name, or another took that name: eject
// identifies the drive as a write does, lets nothing go, says why and lists the drives again.
TEST_F(HomeViewModelDrives, EjectRefusesADriveThatIsNoLongerThePickedOne) {
    using Verdict = TargetVerification::Verdict;
    const struct {
        const char* name;
        std::vector<DiscoveredDisk> listedAtEject;
        Verdict verdict;
        const char* detail;
    } rows[] = {
        {"swappedForAnother", {usbStick("sdb", "SER2")},
         Verdict{Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}},
         "sdb is a different device: serialNumber changed"},
        {"unplugged", {}, Verdict{Verdict::DeviceNotFound{"sdb"}}, "sdb is no longer attached"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        log->clear();
        harness.disks = {usbStick("sdb", "SER1")};
        harness.runner->answer(testing::detectedNotVentoy());
        const auto model = harness.make();
        model->refreshDisks();
        harness.settle();
        ASSERT_TRUE(model->disk().has_value());

        harness.disks = row.listedAtEject;
        model->invokeDriveMenuCommand(DriveMenuCommand::eject);
        EXPECT_TRUE(harness.ejected.empty()) << "a drive nobody picked was ejected";
        EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Error{userMessage(row.verdict)}));
        EXPECT_FALSE(model->disk().has_value());
        EXPECT_EQ(model->availableDisks(), row.listedAtEject);
        ASSERT_TRUE(model->lastDiagnostics().has_value());
        EXPECT_EQ(model->lastDiagnostics()->operation, "Eject");
        EXPECT_EQ(model->lastDiagnostics()->outcome, "refused");
        EXPECT_EQ(model->lastDiagnostics()->details, std::vector<std::string>{row.detail});
        EXPECT_EQ(loggedMessages(*log).back(),
                  "refused sdb: " + std::string(row.detail) + " \u2014 nothing was opened or written");
    }
}

}  // namespace
}  // namespace marlowick
