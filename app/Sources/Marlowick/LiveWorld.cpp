#include "LiveWorld.hpp"

#include <unistd.h>

#include <thread>

#include <QApplication>
#include <QFileDialog>
#include <QString>

#include "Assets/ApplicationCacheRoot.hpp"
#include "Download/VentoyAssetAcquirer.hpp"
#include "Block/SysfsDiskScanner.hpp"
#include "Block/WholeDiskUnmounter.hpp"
#include "Files/LiveVolumeMountProbe.hpp"
#include "Files/MountedDriveFileAccess.hpp"
#include "Files/MountedVolumeEngineRunner.hpp"
#include "Files/UdisksVolumeProbe.hpp"
#include "HelperWire/MarlowickHelper.hpp"
#include "HelperClient/PrivilegedSubprocessEngineRunner.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "Home/DriveImageListing.hpp"
#include "Home/UnavailableEngineRunner.hpp"

namespace marlowick::LiveWorld {
namespace {

constexpr int copyChunkBytes = 4 * 1024 * 1024;

// A modal file dialog over the application's window; none when the user cancels. Qt's own
// dialog, so that it looks the same everywhere and tests can find its parts.
std::optional<std::filesystem::path> pickFile(const char* identifier, const QString& title, const QString& accept,
                                              const QStringList& filters) {
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setObjectName(QString::fromLatin1(identifier));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, accept);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return std::filesystem::path(chosen.front().toStdString());
}

std::optional<std::filesystem::path> pickImageFile() {
    return pickFile("app.imagePicker", QStringLiteral("Pick a bootable image (.iso / .img) to copy onto the drive."),
                    QStringLiteral("Add"),
                    {QStringLiteral("Disk images (*.iso *.img *.ISO *.IMG)")});
}

std::optional<std::filesystem::path> pickRawImageFile() {
    return pickFile("app.rawImagePicker",
                    QStringLiteral("Pick a disk image (.iso / .img, optionally .xz or .gz) to write over the whole drive."),
                    QStringLiteral("Choose"), {QStringLiteral("All files (*)")});
}

// Fire and forget, away from the window: a refused unmount or eject is not reported.
// Without udisks2, a root process can still unmount the drive's file systems itself.
void ejectDisk(const HelperDiskRef& disk) {
    std::string name = disk.rawDevicePath;
    if (const std::size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (name.empty()) return;
    try {
        std::thread([name] {
            if (UdisksVolumeProbe::serviceAnswers()) {
                (void)UdisksVolumeProbe::ejectDrive(name);
            } else if (::geteuid() == 0) {
                (void)WholeDiskUnmounter().unmountWholeDisk(name);
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the drive stays as it is, which the user sees.
    }
}

}  // namespace

std::optional<std::filesystem::path> installedHelper(const std::filesystem::path& programFolder) {
    const std::filesystem::path helper =
        programFolder.parent_path() / "libexec" / "marlowick" / std::string(MarlowickHelper::executableName);
    if (::access(helper.c_str(), X_OK) != 0) return std::nullopt;
    return helper;
}

std::shared_ptr<HelperEngineRunner> makeRunner(const std::optional<std::filesystem::path>& helper, bool alreadyRoot,
                                               std::shared_ptr<VolumeMountProbe> volumes) {
    if (!helper) return std::make_shared<UnavailableEngineRunner>();
    using Elevation = PrivilegedSubprocessEngineRunner::Elevation;
    auto privileged = std::make_shared<PrivilegedSubprocessEngineRunner>(
        helper->string(), alreadyRoot ? Elevation::alreadyRoot : Elevation::adminPrompt);
    return std::make_shared<MountedVolumeEngineRunner>(std::move(privileged), std::make_shared<SysfsDeviceProbe>(),
                                                       std::move(volumes), MountedImageCopier(copyChunkBytes));
}

std::filesystem::path cacheRoot() {
    const ApplicationCacheRoot::Result resolved = ApplicationCacheRoot::resolve(ApplicationCacheRoot::currentEnvironment());
    if (const auto* root = std::get_if<ApplicationCacheRoot::Resolved>(&resolved)) return root->path;
    // Not even a temporary folder could be made: the cache then fails where it is used,
    // with its own error, and nothing else is stopped.
    return std::filesystem::temp_directory_path() / ApplicationCacheRoot::directoryName;
}

std::shared_ptr<HomeViewModel> makeModel(MainExecutor executor, std::shared_ptr<VentoyCatalogModel> catalog,
                                         const AppSettings::Startup& settings, BackgroundStarter startBackground,
                                         std::filesystem::path programFolder) {
    // Chosen once: udisks2 when it answers, mount(8) for a root process without it.
    const std::shared_ptr<VolumeMountProbe> volumes = liveVolumeMountProbe();
    if (programFolder.empty()) programFolder = QCoreApplication::applicationDirPath().toStdString();
    const std::filesystem::path root = cacheRoot();

    HomeViewModel::Arguments arguments;
    arguments.runner = makeRunner(installedHelper(programFolder), ::geteuid() == 0, volumes);
    arguments.initialState = HomeDriveState{HomeDriveState::NoDrive{}};
    arguments.driveVisibility = settings.showNonUsbDisks ? DriveVisibility::allExternal : DriveVisibility::usbOnly;
    arguments.includeFixedStorage = settings.showFixedStorage;
    arguments.verifyCopiedImages = settings.verifyCopiedImages;
    // Every whole disk: the model applies its own visibility and fixed-storage filters.
    arguments.listDisks = [] { return SysfsDiskScanner().scan(); };
    arguments.pickImageFile = pickImageFile;
    arguments.pickRawImageFile = pickRawImageFile;
    arguments.ejectDisk = ejectDisk;
    arguments.isAssetCached = [catalog, root](const std::optional<std::string>& version) {
        return VentoyAssetProvider(root).isCached(catalog->catalog()->manifest(version));
    };
    arguments.acquireAssets = [catalog, root](const std::optional<std::string>& version,
                                              const VentoyAssetAcquirer::PhaseCallback& onPhase,
                                              const std::function<bool()>& isCancelled) {
        return VentoyAssetAcquirer(catalog->catalog()->manifest(version), root).acquire(onPhase, isCancelled);
    };
    auto access = std::make_shared<MountedDriveFileAccess>(std::make_shared<SysfsDeviceProbe>(), volumes);
    arguments.fileAccess = access;
    arguments.listDriveImages = driveImageListing(std::move(access));
    arguments.catalog = std::move(catalog);
    arguments.startBackground = std::move(startBackground);
    return HomeViewModel::create(std::move(executor), std::move(arguments));
}

}  // namespace marlowick::LiveWorld
