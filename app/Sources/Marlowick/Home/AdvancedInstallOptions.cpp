#include "Home/AdvancedInstallOptions.hpp"

#include <algorithm>

#include "Image/ByteCountText.hpp"
#include "Install/VentoyInstallOptions.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

constexpr std::array<std::string_view, 10> clusterLabels{"Automatic", "4 KB",   "8 KB",   "16 KB",  "32 KB",
                                                         "64 KB",     "128 KB", "256 KB", "512 KB", "1 MB"};

std::optional<std::int64_t> clusterBytes(ClusterChoice choice) {
    if (choice == ClusterChoice::automatic) return std::nullopt;
    return rawValue(choice);
}

}  // namespace

std::optional<ClusterChoice> clusterChoiceFromRaw(std::int64_t bytes) {
    const auto found = std::find_if(allClusterChoices.begin(), allClusterChoices.end(),
                                    [bytes](ClusterChoice choice) { return rawValue(choice) == bytes; });
    if (found == allClusterChoices.end()) return std::nullopt;
    return *found;
}

std::string_view label(ClusterChoice choice) {
    const auto position = std::find(allClusterChoices.begin(), allClusterChoices.end(), choice);
    if (position == allClusterChoices.end()) return clusterLabels.front();
    return clusterLabels.at(static_cast<std::size_t>(position - allClusterChoices.begin()));
}

AdvancedInstallOptions::AdvancedInstallOptions(const VentoyReleaseCatalog& catalog)
    : AdvancedInstallOptions(catalog.recommended().version()) {}

AdvancedInstallOptions::AdvancedInstallOptions(std::string recommendedVersion)
    : selectedVentoyVersion(std::move(recommendedVersion)) {}

std::vector<ClusterChoice> AdvancedInstallOptions::clusterChoices() const {
    std::vector<ClusterChoice> choices;
    std::copy_if(allClusterChoices.begin(), allClusterChoices.end(), std::back_inserter(choices),
                 [this](ClusterChoice choice) { return rawValue(choice) <= maxClusterBytes(filesystem); });
    return choices;
}

std::optional<std::string> AdvancedInstallOptions::normalizedLabel() const {
    auto trimmed = trimmedWhiteSpace(volumeLabel);
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
}

std::optional<std::int64_t> AdvancedInstallOptions::reserveBytes() const {
    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(reserveAmount, rawValue(reserveUnit), &bytes)) return std::nullopt;
    return bytes;
}

std::optional<std::string> AdvancedInstallOptions::validationError(std::optional<std::int64_t> capacityBytes) const {
    if (reserveEnabled && reserveAmount < 1) {
        return "Enter how much space to leave free, or turn off \u201CReserve space\u201D.";
    }
    if (reserveEnabled && capacityBytes && *capacityBytes >= 0) {
        const auto reserve = reserveBytes();
        std::int64_t left = 0;
        if (!reserve || __builtin_sub_overflow(*capacityBytes, *reserve, &left) || left < minimumSpaceLeftBytes) {
            return "That reserve is too large for this drive \u2014 leave at least " +
                   ByteCountText::fileSize(minimumSpaceLeftBytes) + " for Ventoy and your images.";
        }
    }
    if (filesystem == DriveFilesystem::fat32 && rawValue(clusterChoice) > maxClusterBytes(DriveFilesystem::fat32)) {
        return std::string(displayName(DriveFilesystem::fat32)) + " clusters can be at most " +
               std::to_string(maxClusterBytes(DriveFilesystem::fat32) / 1024) + " KB.";
    }
    if (const auto labelText = normalizedLabel(); labelText && utf16Length(*labelText) > maximumLabelLength) {
        return "The volume label can be at most " + std::to_string(maximumLabelLength) + " characters.";
    }
    return std::nullopt;
}

HelperInstallOptions AdvancedInstallOptions::helperInstallOptions(const VentoyReleaseCatalog& catalog) const {
    return helperInstallOptions(catalog.recommended().version());
}

HelperInstallOptions AdvancedInstallOptions::helperInstallOptions(std::string_view recommendedVersion) const {
    std::int64_t reserve = 0;
    if (reserveEnabled && reserveAmount >= 1) {
        // Validation refuses a reserve beyond 64 bits; should one slip through, the largest
        // count makes the helper refuse it as larger than the drive instead of a wrapped,
        // small reserve being installed.
        reserve = reserveBytes().value_or(INT64_MAX);
    }
    std::optional<std::string> version;
    if (selectedVentoyVersion != recommendedVersion) version = selectedVentoyVersion;
    return HelperInstallOptions(std::string(rawValue(filesystem)), std::string(rawValue(partitionStyle)), reserve,
                                alignTo4K, std::move(version), clusterBytes(clusterChoice), normalizedLabel());
}

HelperRemoveOptions AdvancedInstallOptions::helperRemoveOptions() const {
    return HelperRemoveOptions(std::string(rawValue(DriveFilesystem::exfat)), std::string(rawValue(partitionStyle)),
                               normalizedLabel().value_or(std::string(VentoyInstallOptions::defaultVolumeLabel)),
                               clusterBytes(clusterChoice));
}

std::optional<std::int64_t> pendingOperationDownloadBytes(
    std::optional<HomeOperationKind> pending, const AdvancedInstallOptions& options,
    const std::function<bool(const std::optional<std::string>&)>& isAssetCached, const VentoyReleaseCatalog& catalog) {
    if (!pending) return std::nullopt;
    std::optional<std::string> version;
    switch (*pending) {
        case HomeOperationKind::prepare:
        case HomeOperationKind::reinstall: version = options.selectedVentoyVersion; break;
        case HomeOperationKind::update: break;
        default: return std::nullopt;
    }
    if (isAssetCached && isAssetCached(version)) return std::nullopt;
    return catalog.manifest(version).archiveSizeBytes();
}

void PrintTo(const AdvancedInstallOptions& options, std::ostream* os) {
    *os << "options(version: \"" << options.selectedVentoyVersion << "\", " << rawValue(options.filesystem) << ", "
        << rawValue(options.partitionStyle) << ", alignTo4K: " << options.alignTo4K
        << ", reserve: " << (options.reserveEnabled ? "on " : "off ") << options.reserveAmount << " x "
        << rawValue(options.reserveUnit) << ", cluster: " << rawValue(options.clusterChoice) << ", label: \""
        << options.volumeLabel << "\")";
}

}  // namespace marlowick
