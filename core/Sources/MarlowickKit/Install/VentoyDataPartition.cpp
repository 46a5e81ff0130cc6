#include "Install/VentoyDataPartition.hpp"

#include "Exfat/DefaultExfatFormatter.hpp"
#include "Fat32/DefaultFat32Formatter.hpp"

namespace marlowick::VentoyDataPartition {
namespace {

std::optional<std::int64_t> sectorsPerCluster(const VentoyLayout& layout, const Request& request) {
    if (!request.clusterBytes || layout.sectorSize < 1) return std::nullopt;
    return *request.clusterBytes / layout.sectorSize;
}

std::string fileSystemName(DriveFilesystem filesystem) {
    return filesystem == DriveFilesystem::fat32 ? "FAT32" : "exFAT";
}

}  // namespace

ExfatFormatParams exfatParams(const VentoyLayout& layout, const Request& request) {
    return ExfatFormatParams{layout.part1StartSector, layout.part1SectorCount, request.volumeLabel,
                             sectorsPerCluster(layout, request), static_cast<std::uint32_t>(request.diskSignature)};
}

Fat32FormatParams fat32Params(const VentoyLayout& layout, const Request& request) {
    return Fat32FormatParams{layout.part1StartSector, layout.part1SectorCount, request.volumeLabel,
                             sectorsPerCluster(layout, request), static_cast<std::uint32_t>(request.diskSignature)};
}

std::optional<std::string> check(const VentoyLayout& layout, const Request& request, std::int64_t deviceSectorCount) {
    const std::string rejected = fileSystemName(request.filesystem) + " format rejected: ";
    if (request.filesystem == DriveFilesystem::fat32) {
        const auto planned = DefaultFat32Formatter::plan(layout.sectorSize, deviceSectorCount, fat32Params(layout, request));
        if (const auto* error = std::get_if<Fat32FormatError>(&planned)) return rejected + render(*error);
        return std::nullopt;
    }
    const auto planned = DefaultExfatFormatter::plan(layout.sectorSize, deviceSectorCount, exfatParams(layout, request));
    if (const auto* error = std::get_if<ExfatFormatError>(&planned)) return rejected + render(*error);
    return std::nullopt;
}

std::variant<Formatted, std::string> format(BlockDevice& block, const VentoyLayout& layout, const Request& request,
                                            const ExfatFormatter& exfat, const Fat32Formatter& fat32) {
    const std::string name = fileSystemName(request.filesystem);
    if (request.filesystem == DriveFilesystem::fat32) {
        const Fat32FormatResult result = fat32.format(block, fat32Params(layout, request));
        if (const auto* done = std::get_if<Fat32FormatResult::Success>(&result.value)) {
            return Formatted{done->layout.clusterCount, done->layout.clusterSizeBytes()};
        }
        if (const auto* invalid = std::get_if<Fat32FormatResult::Invalid>(&result.value)) {
            return name + " format rejected: " + render(invalid->error);
        }
        const auto& failed = std::get<Fat32FormatResult::WriteFailed>(result.value);
        return name + " format write failed at " + failed.stage + ": " + render(failed.error);
    }
    const ExfatFormatResult result = exfat.format(block, exfatParams(layout, request));
    if (const auto* done = std::get_if<ExfatFormatResult::Success>(&result.value)) {
        return Formatted{done->layout.clusterCount, done->layout.clusterSizeBytes()};
    }
    if (const auto* invalid = std::get_if<ExfatFormatResult::Invalid>(&result.value)) {
        return name + " format rejected: " + render(invalid->error);
    }
    const auto& failed = std::get<ExfatFormatResult::WriteFailed>(result.value);
    return name + " format write failed at " + failed.stage + ": " + render(failed.error);
}

}  // namespace marlowick::VentoyDataPartition
