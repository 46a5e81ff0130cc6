// marlowick-bench: the pieces of the benchmark that run Marlowick's own code in process,
// on a device the caller names. bench/run.sh times them and the tools a user would type
// instead; this program only does the work and says whether it succeeded.
//
//   marlowick-bench write-command <device> <image>   the helper's writeRawImage line (verify on)
//   marlowick-bench format <device> exfat|fat32 [cluster-KiB]
//                                                    a whole-device volume, as mkfs would lay it
//   marlowick-bench prepare <device> mbr|gpt <dir>   a Ventoy install from the boot files in <dir>
//
// The device's geometry comes from the kernel (512-byte sectors), as the helper gets it from
// the application; the device is opened as the helper's provider opens it. Exit status 0 on success, 1 on a failed operation, 2 on bad arguments.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Bytes/Sha256.hpp"
#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Block/RawDiskBlockDevice.hpp"
#include "Exfat/DefaultExfatFormatter.hpp"
#include "Fat32/DefaultFat32Formatter.hpp"
#include "HelperWire/HelperCommand.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/JsonCoding.hpp"
#include "HelperEngine/RawDiskBlockDeviceProvider.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "Install/VentoyInstaller.hpp"

namespace {

using namespace marlowick;

// What the helper program passes to every writer it builds.
constexpr std::int64_t chunkSectors = 1024;
constexpr int sectorSize = 512;

int usage() {
    std::cerr << "usage: marlowick-bench write-command <device> <image>\n"
                 "       marlowick-bench format <device> exfat|fat32 [cluster-KiB]\n"
                 "       marlowick-bench prepare <device> mbr|gpt <boot-file-dir>\n";
    return 2;
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> deviceSectors(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::uint64_t bytes = 0;
    const int status = ::ioctl(fd, BLKGETSIZE64, &bytes);
    ::close(fd);
    if (status != 0) return std::nullopt;
    return static_cast<std::int64_t>(bytes / sectorSize);
}

std::unique_ptr<RawDiskBlockDevice> openDevice(const std::string& path) {
    const std::optional<std::int64_t> sectors = deviceSectors(path);
    if (!sectors) {
        std::cerr << path << ": not a block device whose size can be read\n";
        return nullptr;
    }
    RawDiskBlockDevice::OpenResult opened = RawDiskBlockDevice::open(
        path, sectorSize, *sectors, RawDiskBlockDeviceProvider::maxChunkSectors(sectorSize), BlockAccessMode::readWrite);
    if (const auto* error = std::get_if<BlockError>(&opened)) {
        std::cerr << render(*error) << "\n";
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<RawDiskBlockDevice>>(opened));
}

int writeCommand(const std::string& path, const std::string& image) {
    const std::string name = std::filesystem::path(path).filename().string();
    const std::optional<DiscoveredDisk> disk = SysfsDeviceProbe().probe(name);
    if (!disk) {
        std::cerr << "the system does not describe " << path << "\n";
        return 1;
    }
    const std::optional<std::string> line =
        encodeJson(HelperCommand{HelperCommand::WriteRawImage{HelperDiskRef(*disk), image, true}});
    if (!line) return 1;
    std::cout << *line << "\n";
    return 0;
}

// `clusterKib`: exFAT only; absent lets the formatter choose.
int format(const std::string& path, const std::string& filesystem, std::optional<std::int64_t> clusterKib) {
    if (filesystem != "exfat" && filesystem != "fat32") return usage();
    if (clusterKib && (filesystem != "exfat" || *clusterKib < 1)) return usage();
    std::unique_ptr<RawDiskBlockDevice> device = openDevice(path);
    if (!device) return 1;
    std::string failure;
    if (filesystem == "exfat") {
        ExfatFormatParams params;
        params.volumeLengthSectors = device->sectorCount();
        params.volumeLabel = "MARLOWICK";
        params.volumeSerialNumber = ExfatFormatParams::timeDerivedSerial();
        if (clusterKib) params.sectorsPerCluster = *clusterKib * 1024 / sectorSize;
        const ExfatFormatResult result = DefaultExfatFormatter().format(*device, params);
        if (!std::holds_alternative<ExfatFormatResult::Success>(result.value)) failure = render(result);
    } else {
        Fat32FormatParams params;
        params.volumeLengthSectors = device->sectorCount();
        params.volumeLabel = "MARLOWICK";
        params.volumeSerialNumber = ExfatFormatParams::timeDerivedSerial();
        const Fat32FormatResult result = DefaultFat32Formatter(chunkSectors).format(*device, params);
        if (!std::holds_alternative<Fat32FormatResult::Success>(result.value)) failure = render(result);
    }
    device->close();
    if (!failure.empty()) {
        std::cerr << failure << "\n";
        return 1;
    }
    return 0;
}

std::vector<std::uint8_t> readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int prepare(const std::string& path, const std::string& style, const std::filesystem::path& bootFiles) {
    if (style != "mbr" && style != "gpt") return usage();
    VentoyAssetSet assets;
    assets.version = "1.0.0";
    const std::string anyDigest(64, 'a');
    std::map<VentoyAsset, VentoyReleaseManifest::AssetChecksum> checksums;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::filesystem::path file = bootFiles / std::string(outputFileName(asset));
        const std::vector<std::uint8_t> bytes = readWhole(file);
        assets.files.emplace(asset, file);
        checksums.emplace(asset, VentoyReleaseManifest::AssetChecksum{std::string(memberPathSuffix(asset)), anyDigest, 1,
                                                                      Sha256::hex(bytes),
                                                                      static_cast<std::int64_t>(bytes.size())});
    }
    const VentoyReleaseManifest manifest(assets.version, "release.tar.gz", anyDigest, 1, std::move(checksums), 1,
                                         "https://example.invalid/releases");
    std::unique_ptr<RawDiskBlockDevice> device = openDevice(path);
    if (!device) return 1;
    const VentoyInstaller installer(std::make_shared<const DefaultExfatFormatter>(),
                                    std::make_shared<const DefaultFat32Formatter>(chunkSectors), chunkSectors);
    const VentoyInstallOptions options(DriveFilesystem::exfat, style == "gpt" ? PartitionStyle::gpt : PartitionStyle::mbr);
    const VentoyInstallResult result = installer.install(
        *device, assets, manifest, VentoyInstaller::newDiskSignature(), options, [](auto, const auto&) {},
        [] { return false; });
    device->close();
    const auto* completed = std::get_if<VentoyInstallResult::Completed>(&result.value);
    if (completed == nullptr || !completed->report.overallSuccess()) {
        std::cerr << render(result) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "write-command") return writeCommand(args[1], args[2]);
    if (args.size() == 3 && args[0] == "format") return format(args[1], args[2], std::nullopt);
    if (args.size() == 4 && args[0] == "format") {
        const std::optional<std::int64_t> kib = wholeNumber(args[3]);
        return kib ? format(args[1], args[2], kib) : usage();
    }
    if (args.size() == 4 && args[0] == "prepare") return prepare(args[1], args[2], args[3]);
    return usage();
}
