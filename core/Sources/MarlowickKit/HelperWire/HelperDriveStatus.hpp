#pragma once
// The answer to a detect command: how the drive was classified, and for a Ventoy drive its
// layout, the installed version and the data partition's usage when they could be read.
//   {"ventoy":{"layout":{…},"installedVersion":"1.1.17","usage":{"freeBytes":…,"totalBytes":…,"filesystem":"exfat"}}}

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "Detect/VentoyDriveStatus.hpp"
#include "Exfat/ExfatListingResult.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"
#include "HelperWire/JsonCoding.hpp"
#include "Layout/DriveFilesystem.hpp"

namespace marlowick {

struct HelperDriveUsage {
    std::int64_t freeBytes = 0;
    std::int64_t totalBytes = 0;
    std::optional<std::string> filesystem;  // "exfat" or "fat32"

    // The file system named exactly by `filesystem` ("FAT32" names none).
    [[nodiscard]] std::optional<DriveFilesystem> dataFilesystem() const;
    // exFAT usage from a free-space read; none unless the read succeeded.
    [[nodiscard]] static std::optional<HelperDriveUsage> from(const ExfatFreeSpaceResult& result);

    bool operator==(const HelperDriveUsage&) const = default;
};

struct HelperDriveStatus {
    struct NotVentoy {
        std::string reason;
        bool operator==(const NotVentoy&) const = default;
    };
    struct Ventoy {
        HelperVentoyLayout layout;
        std::optional<std::string> installedVersion;
        std::optional<HelperDriveUsage> usage;
        bool operator==(const Ventoy&) const = default;
    };
    struct IncompatibleVentoy {
        std::string reason;
        bool operator==(const IncompatibleVentoy&) const = default;
    };
    using Case = std::variant<NotVentoy, Ventoy, IncompatibleVentoy>;

    Case value;

    HelperDriveStatus() = default;
    explicit HelperDriveStatus(Case c) : value(std::move(c)) {}
    // The version and usage are kept only for a Ventoy drive.
    HelperDriveStatus(const VentoyDriveStatus& status, std::optional<std::string> installedVersion,
                      std::optional<HelperDriveUsage> usage);

    bool operator==(const HelperDriveStatus&) const = default;
};

void PrintTo(const HelperDriveUsage& usage, std::ostream* os);
void PrintTo(const HelperDriveStatus& status, std::ostream* os);

template <>
struct JsonCoding<HelperDriveUsage> {
    static nlohmann::json encode(const HelperDriveUsage& usage);
    static HelperDriveUsage decode(const nlohmann::json& json, const JsonPath& path);
};

template <>
struct JsonCoding<HelperDriveStatus> {
    static nlohmann::json encode(const HelperDriveStatus& status);
    static HelperDriveStatus decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
