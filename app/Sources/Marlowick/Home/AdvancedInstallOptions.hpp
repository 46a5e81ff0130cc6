#pragma once
// The advanced choices of the confirmation sheet for prepare, reinstall and remove: the
// Ventoy release, the data partition's file system, cluster size and label, the partition
// style, 4 KiB alignment and an optional reserve left unused at the end of the drive. The
// sheet edits the value and confirms only while validationError() is none; the operation
// turns it into the helper's option records just before the command is sent. A plain
// value, used on the main thread.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Assets/VentoyReleaseCatalog.hpp"
#include "HelperWire/HelperOptions.hpp"
#include "Home/HomeOperationKind.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick {

// The unit of the reserve; the raw value is its size in bytes.
enum class ReserveUnit : std::int64_t { megabytes = 1'048'576, gigabytes = 1'073'741'824 };

inline constexpr std::array<ReserveUnit, 2> allReserveUnits{ReserveUnit::megabytes, ReserveUnit::gigabytes};

[[nodiscard]] constexpr std::int64_t rawValue(ReserveUnit unit) { return static_cast<std::int64_t>(unit); }

// The data partition's cluster size; the raw value is in bytes, 0 letting the formatter choose.
enum class ClusterChoice : std::int64_t {
    automatic = 0,
    k4 = 4'096,
    k8 = 8'192,
    k16 = 16'384,
    k32 = 32'768,
    k64 = 65'536,
    k128 = 131'072,
    k256 = 262'144,
    k512 = 524'288,
    m1 = 1'048'576,
};

inline constexpr std::array<ClusterChoice, 10> allClusterChoices{
    ClusterChoice::automatic, ClusterChoice::k4,   ClusterChoice::k8,   ClusterChoice::k16,  ClusterChoice::k32,
    ClusterChoice::k64,       ClusterChoice::k128, ClusterChoice::k256, ClusterChoice::k512, ClusterChoice::m1};

[[nodiscard]] constexpr std::int64_t rawValue(ClusterChoice choice) { return static_cast<std::int64_t>(choice); }
// One of the ten sizes exactly; any other number is no choice.
[[nodiscard]] std::optional<ClusterChoice> clusterChoiceFromRaw(std::int64_t bytes);
// "Automatic", "4 KB" … "512 KB", "1 MB".
[[nodiscard]] std::string_view label(ClusterChoice choice);

struct AdvancedInstallOptions {
    // The smallest data partition a reserve may leave: room for Ventoy and some images.
    static constexpr std::int64_t minimumSpaceLeftBytes = 268'435'456;
    // Counted in UTF-16 units, as the exFAT and FAT32 formatters store and limit labels.
    static constexpr std::int64_t maximumLabelLength = 11;

    std::string selectedVentoyVersion;
    DriveFilesystem filesystem = DriveFilesystem::exfat;
    PartitionStyle partitionStyle = PartitionStyle::mbr;
    bool alignTo4K = true;
    bool reserveEnabled = false;
    std::int64_t reserveAmount = 0;  // in reserveUnit
    ReserveUnit reserveUnit = ReserveUnit::megabytes;
    ClusterChoice clusterChoice = ClusterChoice::automatic;
    std::string volumeLabel;  // as typed

    // The defaults, with the catalog's recommended release read once.
    explicit AdvancedInstallOptions(const VentoyReleaseCatalog& catalog);
    // The defaults, with that release.
    explicit AdvancedInstallOptions(std::string recommendedVersion);

    // All ten for exFAT; automatic and 4 to 32 KB for FAT32.
    [[nodiscard]] std::vector<ClusterChoice> clusterChoices() const;
    // The label without white space and line ends at either end; none when nothing remains.
    [[nodiscard]] std::optional<std::string> normalizedLabel() const;
    // The reserve in bytes: amount × unit, or none when that does not fit in 64 signed bits.
    [[nodiscard]] std::optional<std::int64_t> reserveBytes() const;

    // The message of the first rule that fails, or none. A capacity (in bytes) checks that
    // the reserve leaves enough of the drive; without one, or with a negative one (not
    // known), that rule is skipped.
    [[nodiscard]] std::optional<std::string> validationError(std::optional<std::int64_t> capacityBytes) const;

    // The version is left out when it is the catalog's recommended one at this moment.
    [[nodiscard]] HelperInstallOptions helperInstallOptions(const VentoyReleaseCatalog& catalog) const;
    [[nodiscard]] HelperInstallOptions helperInstallOptions(std::string_view recommendedVersion) const;
    [[nodiscard]] HelperRemoveOptions helperRemoveOptions() const;

    bool operator==(const AdvancedInstallOptions&) const = default;
};

// What the confirmation sheet announces as still to download for a pending operation:
// the release archive's size for prepare and reinstall (the selected version) and update
// (the recommended one), none when its boot files are cached, for every other kind, or
// with nothing pending. `isAssetCached` takes the version, none meaning the recommended.
[[nodiscard]] std::optional<std::int64_t> pendingOperationDownloadBytes(
    std::optional<HomeOperationKind> pending, const AdvancedInstallOptions& options,
    const std::function<bool(const std::optional<std::string>&)>& isAssetCached, const VentoyReleaseCatalog& catalog);

void PrintTo(const AdvancedInstallOptions& options, std::ostream* os);

}  // namespace marlowick
