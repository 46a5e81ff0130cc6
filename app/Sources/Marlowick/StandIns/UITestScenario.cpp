#include "StandIns/UITestScenario.hpp"

#include <chrono>
#include <thread>

#include "Home/DriveImageListing.hpp"
#include "StandIns/FakeEngineRunner.hpp"
#include "StandIns/MemoryDriveFileAccess.hpp"
#include "Text/RawValueTable.hpp"

namespace marlowick {
namespace {

constexpr RawValueTable<UITestScenario, 9> scenarioRawValues{
    {"noDrive", "prepare", "ventoyReady", "incompatible", "unreadable", "error", "picker", "running", "done"}};

HelperResult blankDrive() {
    return {HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::NotVentoy{"blank, no Ventoy layout"}}}};
}

HelperResult detectResult(UITestScenario scenario) {
    switch (scenario) {
        case UITestScenario::ventoyReady:
            return {HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::Ventoy{
                UITestWorld::fakeLayout(), "1.1.10", HelperDriveUsage{22'000'000'000, 30'000'000'000, std::nullopt}}}}};
        case UITestScenario::incompatible:
            return {HelperResult::Detected{
                HelperDriveStatus{HelperDriveStatus::IncompatibleVentoy{"Foreign 32 MB EFI layout."}}}};
        case UITestScenario::unreadable:
            return {HelperResult::DetectReadFailed{HelperBlockError{BlockError::DeviceFailure{"read", "EIO"}}}};
        case UITestScenario::error:
            return HelperResult::failed(HelperCommandError::CouldNotOpenDevice{"device detached"});
        default:
            return blankDrive();
    }
}

VentoyAssetSet fakeAssetSet(const std::string& version) {
    return VentoyAssetSet{version,
                          {{VentoyAsset::bootImg, "/tmp/marlowick-fake-assets/boot.img"},
                           {VentoyAsset::coreImg, "/tmp/marlowick-fake-assets/core.img"},
                           {VentoyAsset::ventoyDiskImg, "/tmp/marlowick-fake-assets/ventoy.disk.img"}}};
}

DiscoveredDisk fakeUsbDisk(std::string bsdName, std::string name, std::int64_t sectorCount, std::int64_t capacity) {
    DiscoveredDisk disk;
    disk.bsdName = std::move(bsdName);
    disk.name = std::move(name);
    disk.geometry = BlockGeometry{512, sectorCount, capacity};
    disk.isWhole = true;
    disk.isRemovable = false;
    disk.isEjectable = true;
    disk.isInternal = false;
    disk.deviceProtocol = "USB";
    disk.isSolidState = false;
    return disk;
}

}  // namespace

std::string_view rawValue(UITestScenario scenario) { return scenarioRawValues.text(scenario); }

std::optional<UITestScenario> uiTestScenario(std::string_view raw) { return scenarioRawValues.parse(raw); }

namespace UITestWorld {

HelperDiskRef fakeDisk() { return HelperDiskRef("/dev/sdd", 512, 131'072, std::nullopt); }

HelperVentoyLayout fakeLayout() { return HelperVentoyLayout(131'072, 512, 2048, 63'488, 65'536, 65'536, "mbr", 1); }

const std::vector<DiscoveredDisk>& fakeDisks() {
    // The first capacity is 320 bytes more than its sectors hold, as a drive may report.
    static const std::vector<DiscoveredDisk> disks{
        fakeUsbDisk("sdd", "SanDisk Cruzer Blade", 15'634'488, 8'004'858'176),
        fakeUsbDisk("sdf", "Kingston DataTraveler", 62'521'344, 32'010'928'128)};
    return disks;
}

std::vector<HelperImageEntry> scriptedImages() {
    return {HelperImageEntry("/ubuntu-24.04.1-desktop-amd64.iso", "ubuntu-24.04.1-desktop-amd64.iso", 5'400'000'000,
                             false),
            HelperImageEntry("/Fedora-Workstation-Live-40.iso", "Fedora-Workstation-Live-40.iso", 2'100'000'000, false),
            HelperImageEntry("/memtest86.iso", "memtest86.iso", 12'500'000, false)};
}

std::map<std::string, std::int64_t> scriptedFiles() {
    return {{"/ubuntu-24.04.1-desktop-amd64.iso", 5'400'000'000},
            {"/Fedora-Workstation-Live-40.iso", 2'100'000'000},
            {"/memtest86.iso", 12'500'000},
            {"/linux/archlinux-2026.09.01-x86_64.iso", 1'300'000'000},
            {"/ventoy/ventoy.json", 412}};
}

std::chrono::system_clock::time_point scriptedModificationTime() {
    return std::chrono::system_clock::time_point(std::chrono::seconds(1'758'000'000));
}

HomeViewModel::AcquireAssets fakeAcquireAssets(std::shared_ptr<VentoyCatalogModel> catalog) {
    return [catalog = std::move(catalog)](const std::optional<std::string>& version,
                                          const VentoyAssetAcquirer::PhaseCallback& onPhase,
                                          const std::function<bool()>&) {
        onPhase({VentoyAcquisitionPhase::CheckingCache{}});
        onPhase({VentoyAcquisitionPhase::Downloading{0.5}});
        onPhase({VentoyAcquisitionPhase::Extracting{}});
        onPhase({VentoyAcquisitionPhase::Ready{}});
        const VentoyReleaseManifest manifest = catalog->catalog()->manifest(version);
        return VentoyAcquisitionResult{VentoyAcquisitionResult::Acquired{fakeAssetSet(manifest.version())}};
    };
}

HomeViewModel::AcquireAssets slowAcquireAssets(std::shared_ptr<VentoyCatalogModel> catalog,
                                               std::shared_ptr<HelperCancelLatch> quitting) {
    return [catalog = std::move(catalog), quitting = std::move(quitting)](
               const std::optional<std::string>& version, const VentoyAssetAcquirer::PhaseCallback& onPhase,
               const std::function<bool()>& isCancelled) {
        onPhase({VentoyAcquisitionPhase::CheckingCache{}});
        onPhase({VentoyAcquisitionPhase::Downloading{0.45}});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(600);
        while (std::chrono::steady_clock::now() < until && !quitting->isCancelled() &&
               !(isCancelled && isCancelled())) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const VentoyReleaseManifest manifest = catalog->catalog()->manifest(version);
        return VentoyAcquisitionResult{VentoyAcquisitionResult::Acquired{VentoyAssetSet{manifest.version(), {}}}};
    };
}

std::shared_ptr<HomeViewModel> makeModel(UITestScenario scenario, const Context& context) {
    const bool ready = scenario == UITestScenario::ventoyReady;
    HomeViewModel::Arguments arguments;
    arguments.runner = std::make_shared<FakeEngineRunner>(
        detectResult(scenario),
        HelperImageListing{HelperImageListing::Success{ready ? scriptedImages() : std::vector<HelperImageEntry>{}}});
    if (scenario != UITestScenario::noDrive && scenario != UITestScenario::picker) arguments.disk = fakeDisk();
    arguments.initialState = HomeDriveState{HomeDriveState::NoDrive{}};
    arguments.driveVisibility = DriveVisibility::usbOnly;
    arguments.includeFixedStorage = false;
    arguments.verifyCopiedImages = false;
    if (scenario == UITestScenario::picker) {
        arguments.listDisks = [] { return fakeDisks(); };
    } else {
        arguments.listDisks = [] { return std::vector<DiscoveredDisk>{}; };
    }
    if (ready) {
        arguments.pickImageFile = [] { return std::optional<std::filesystem::path>(pickedImagePath); };
        auto access = std::make_shared<testing::MemoryDriveFileAccess>();
        for (const auto& [path, size] : scriptedFiles()) access->addFile(path, size, scriptedModificationTime());
        arguments.fileAccess = access;
        arguments.listDriveImages = driveImageListing(std::move(access));
    }
    arguments.ejectDisk = [](const HelperDiskRef&) {};
    arguments.isAssetCached = [](const std::optional<std::string>&) { return false; };
    switch (scenario) {
        case UITestScenario::noDrive:
        case UITestScenario::error:
        case UITestScenario::picker:
            break;  // the model's own default: acquisition is not wired
        case UITestScenario::running:
            arguments.acquireAssets = slowAcquireAssets(context.catalog, context.quitting);
            break;
        default:
            arguments.acquireAssets = fakeAcquireAssets(context.catalog);
    }
    arguments.catalog = context.catalog;
    arguments.startBackground = context.startBackground;

    auto model = HomeViewModel::create(context.executor, std::move(arguments));
    if (scenario == UITestScenario::running || scenario == UITestScenario::done) {
        model->setUiTestAutoOperation(HomeOperationKind::prepare);
    }
    return model;
}

}  // namespace UITestWorld

}  // namespace marlowick
