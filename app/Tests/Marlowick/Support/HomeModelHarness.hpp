#pragma once
// Everything a home model test builds the model from, each part scripted by the test: the
// main executor and the background jobs (both run by hand), the engine, the disk listing,
// the file pickers, the eject, the boot-file acquisition, the drive's file access and the
// clock. It also records which properties the model announced.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Home/HomeViewModel.hpp"
#include "StandIns/MemoryDriveFileAccess.hpp"
#include "StandIns/ScriptedEngineRunner.hpp"
#include "Support/ManualBackground.hpp"
#include "Support/ManualExecutor.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::testing {

struct HomeModelHarness {
    using Property = HomeViewModel::Property;

    HomeModelHarness();

    // A model over the harness's parts; `withFileAccess` gives it the scripted image listing
    // of the mounted data partition and the in-memory files the drive browser walks.
    std::shared_ptr<HomeViewModel> make(std::optional<HelperDiskRef> disk = std::nullopt,
                                        HomeDriveState initialState = HomeDriveState::NoDrive{},
                                        bool withFileAccess = false);

    // Runs background jobs and main-thread closures until neither has anything left.
    void settle();
    // How often `property` was announced since the model was made (or since forget()).
    [[nodiscard]] int announced(Property property) const;
    void forget() { changes.clear(); }

    // Every state the model passed through, in order, since it was made.
    std::vector<HomeDriveState> states;

    ManualExecutor main;
    ManualBackground background;
    std::shared_ptr<ScriptedEngineRunner> runner = std::make_shared<ScriptedEngineRunner>();
    // What the mounted data partition lists; none: the volume is refused.
    std::optional<std::vector<HelperImageEntry>> mountedImages;
    int mountedListings = 0;
    std::shared_ptr<MemoryDriveFileAccess> files = std::make_shared<MemoryDriveFileAccess>();
    test::TempDir folder;
    std::shared_ptr<VentoyCatalogModel> catalog;

    DriveVisibility visibility = DriveVisibility::usbOnly;
    bool includeFixedStorage = false;
    std::vector<DiscoveredDisk> disks;  // what listing the disks answers
    int diskListings = 0;
    std::vector<HelperDiskRef> ejected;
    std::optional<std::filesystem::path> imageToPick;
    std::optional<std::filesystem::path> rawImageToPick;
    int imagePicks = 0;
    int rawImagePicks = 0;
    std::vector<std::optional<std::string>> cachedQueries;
    bool assetsCached = false;
    // The acquisition; unset means the model's own default.
    HomeViewModel::AcquireAssets acquire;
    double now = 1000;

    std::vector<Property> changes;
    std::shared_ptr<HomeViewModel> model;
};

// A removable USB stick of 16 GB, eligible under usbOnly, with a serial number.
[[nodiscard]] DiscoveredDisk usbStick(const std::string& bsdName, const std::string& serial = "SER1",
                                      const std::string& name = "Stick");
// A solid-state drive in a USB enclosure (not removable): eligible only when fixed storage
// is shown.
[[nodiscard]] DiscoveredDisk portableSsd(const std::string& bsdName);
// The layout of a Ventoy drive of that many 512-byte sectors.
[[nodiscard]] HelperVentoyLayout ventoyLayout(std::int64_t sectorCount = 31'250'000);

[[nodiscard]] HelperResult detectedNotVentoy(const std::string& reason = "no Ventoy layout");
[[nodiscard]] HelperResult detectedVentoy(const HelperVentoyLayout& layout, std::optional<std::string> version = "1.1.17",
                                          std::optional<HelperDriveUsage> usage = std::nullopt);
[[nodiscard]] HelperResult imageListing(std::vector<HelperImageEntry> images);
// A driveOperation result of that kind that completed and succeeded.
[[nodiscard]] HelperResult operationSucceeded(HelperDriveOperationReport::Kind kind);
[[nodiscard]] VentoyAcquisitionResult acquiredAssets(const std::string& version, const std::filesystem::path& folder);

}  // namespace marlowick::testing
