#include "HelperTestDrive.hpp"

#include "Block/SysfsDeviceProbe.hpp"
#include "HelperClient/PrivilegedSubprocessEngineRunner.hpp"
#include "HelperProgramSession.hpp"

namespace marlowick::test {

std::unique_ptr<HelperTestDrive> HelperTestDrive::attach(std::string& skipReason, std::int64_t sectors) {
    if (!isRoot() || !hasTool("losetup")) {
        skipReason = "needs root for losetup";
        return nullptr;
    }
    std::unique_ptr<HelperTestDrive> drive(new HelperTestDrive());
    drive->image = drive->dir.file("drive.img");
    createSparseFile(drive->image, sectors * 512);
    if (auto attached = LoopDevice::attach(drive->image)) drive->loop.emplace(std::move(*attached));
    if (!drive->loop) {
        skipReason = "no free loop device";
        return nullptr;
    }
    const std::optional<DiscoveredDisk> described = SysfsDeviceProbe().probe(drive->loop->name());
    if (!described) {
        skipReason = "the system does not describe " + drive->loop->path();
        return nullptr;
    }
    drive->diskRef = HelperDiskRef(*described);
    return drive;
}

std::string HelperTestDrive::sha256() const {
    const CommandOutput hashed = runCommand("sha256sum " + loop->path());
    return hashed.exitCode == 0 ? hashed.output.substr(0, 64) : "sha256sum failed: " + hashed.output;
}

bool HelperTestDrive::startsWith(const std::filesystem::path& file) const {
    const auto size = std::filesystem::file_size(file);
    return runCommand("cmp -n " + std::to_string(size) + " '" + file.string() + "' " + loop->path()).exitCode == 0;
}

bool HelperTestDrive::isZero(std::int64_t offset, std::int64_t count) const {
    return runCommand("cmp -n " + std::to_string(count) + " -i " + std::to_string(offset) + ":0 " + loop->path() +
                      " /dev/zero")
               .exitCode == 0;
}

std::unique_ptr<MountedDataPartition> MountedDataPartition::mount(const HelperTestDrive& drive,
                                                                  const VentoyLayout& layout, std::string& whyNot) {
    const std::optional<std::string> type = exfatMountType();
    if (!type) {
        whyNot = "no exFAT driver to mount with";
        return nullptr;
    }
    std::optional<LoopDevice> partition = LoopDevice::attach(drive.imagePath(), 512, layout.part1StartSector * 512,
                                                             layout.part1SectorCount * 512);
    if (!partition) {
        whyNot = "no loop device for partition 1";
        return nullptr;
    }
    const std::filesystem::path point = drive.folder().file("part1");
    std::filesystem::create_directories(point);
    std::optional<MountedVolume> volume = MountedVolume::mount(*type, partition->path(), point, whyNot);
    if (!volume) return nullptr;
    return std::unique_ptr<MountedDataPartition>(new MountedDataPartition(std::move(*partition), std::move(*volume)));
}

std::unique_ptr<HelperEngineRunner> helperProgramRunner() {
    return std::make_unique<PrivilegedSubprocessEngineRunner>(helperProgramPath,
                                                              PrivilegedSubprocessEngineRunner::Elevation::alreadyRoot);
}

void HelperTestDriveFixture::SetUp() {
    std::string skip;
    drive = HelperTestDrive::attach(skip);
    if (!drive) GTEST_SKIP() << skip;
}

}  // namespace marlowick::test
