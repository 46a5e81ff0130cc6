#include "Support/HomeModelHarness.hpp"

#include <algorithm>
#include <utility>

namespace marlowick::testing {

HomeModelHarness::HomeModelHarness()
    : catalog(std::make_shared<VentoyCatalogModel>(
          main.executor(), VentoyCatalogModel::Options{.cache = VentoyRegistryCache(folder.path() / "registry"),
                                                       .buildNumber = "1",
                                                       .registryEnabled = false,
                                                       .publicKeyBase64 = {},
                                                       .registryUrl = {},
                                                       .fetch = {}})) {}

std::shared_ptr<HomeViewModel> HomeModelHarness::make(std::optional<HelperDiskRef> disk, HomeDriveState initialState,
                                                      bool withFileAccess) {
    HomeViewModel::Arguments arguments{
        .runner = runner,
        .disk = std::move(disk),
        .initialState = std::move(initialState),
        .driveVisibility = visibility,
        .includeFixedStorage = includeFixedStorage,
        .verifyCopiedImages = true,
        .listDisks =
            [this] {
                ++diskListings;
                return disks;
            },
        .pickImageFile =
            [this] {
                ++imagePicks;
                return imageToPick;
            },
        .pickRawImageFile =
            [this] {
                ++rawImagePicks;
                return rawImageToPick;
            },
        .ejectDisk = [this](const HelperDiskRef& ejecting) { ejected.push_back(ejecting); },
        .isAssetCached =
            [this](const std::optional<std::string>& version) {
                cachedQueries.push_back(version);
                return assetsCached;
            },
        .acquireAssets = acquire,
        .listDriveImages = withFileAccess ? HomeViewModel::ListDriveImages([this](const HelperDiskRef&,
                                                                                  const HelperVentoyLayout&) {
            ++mountedListings;
            return mountedImages;
        })
                                          : HomeViewModel::ListDriveImages(),
        .fileAccess = withFileAccess ? files : nullptr,
        .catalog = catalog,
        .startBackground = background.starter(),
        .clock = [this] { return now; },
    };
    model = HomeViewModel::create(main.executor(), std::move(arguments));
    states = {model->state()};
    changes.clear();
    model->observers().subscribe([this](Property property) {
        changes.push_back(property);
        if (property == Property::state) states.push_back(model->state());
    });
    return model;
}

void HomeModelHarness::settle() {
    while (background.runAll() + main.runAll() > 0) {
    }
}

int HomeModelHarness::announced(Property property) const {
    return static_cast<int>(std::count(changes.begin(), changes.end(), property));
}

DiscoveredDisk usbStick(const std::string& bsdName, const std::string& serial, const std::string& name) {
    DiscoveredDisk disk;
    disk.bsdName = bsdName;
    disk.name = name;
    disk.geometry = BlockGeometry{512, 31'250'000, 16'000'000'000};
    disk.isWhole = true;
    disk.isRemovable = true;
    disk.isEjectable = true;
    disk.isInternal = false;
    disk.deviceProtocol = "USB";
    disk.vendor = "Maker";
    disk.model = "Stick";
    disk.serialNumber = serial;
    return disk;
}

DiscoveredDisk portableSsd(const std::string& bsdName) {
    DiscoveredDisk disk = usbStick(bsdName, "SSD-" + bsdName, "Portable SSD");
    disk.isSolidState = true;
    disk.isRemovable = false;
    return disk;
}

HelperVentoyLayout ventoyLayout(std::int64_t sectorCount) {
    const std::int64_t efiSectors = 65'536;
    const std::int64_t part2Start = sectorCount - efiSectors;
    return HelperVentoyLayout(sectorCount, 512, 2048, part2Start - 2048, part2Start, efiSectors, "mbr", 34);
}

HelperResult detectedNotVentoy(const std::string& reason) {
    return {HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::NotVentoy{reason}}}};
}

HelperResult detectedVentoy(const HelperVentoyLayout& layout, std::optional<std::string> version,
                            std::optional<HelperDriveUsage> usage) {
    return {HelperResult::Detected{
        HelperDriveStatus{HelperDriveStatus::Ventoy{layout, std::move(version), std::move(usage)}}}};
}

HelperResult imageListing(std::vector<HelperImageEntry> images) {
    return {HelperResult::ImageListing{HelperImageListing{HelperImageListing::Success{std::move(images)}}}};
}

HelperResult operationSucceeded(HelperDriveOperationReport::Kind kind) {
    HelperDriveOperationReport report;
    report.kind = kind;
    report.completed = true;
    report.overallSuccess = true;
    return {HelperResult::DriveOperation{report}};
}

VentoyAcquisitionResult acquiredAssets(const std::string& version, const std::filesystem::path& folder) {
    VentoyAssetSet set;
    set.version = version;
    set.files = {{VentoyAsset::bootImg, folder / "boot.img"},
                 {VentoyAsset::coreImg, folder / "core.img"},
                 {VentoyAsset::ventoyDiskImg, folder / "ventoy.disk.img"}};
    return {VentoyAcquisitionResult::Acquired{std::move(set)}};
}

}  // namespace marlowick::testing
