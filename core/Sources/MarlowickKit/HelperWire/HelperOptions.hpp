#pragma once
// The options a prepare or removeVentoy command carries, as text and numbers, and their
// mapping to the engine's typed values. The mapping refuses everything the formatters would
// refuse later, so that no drive is wiped for options that were bound to fail.

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "HelperWire/JsonCoding.hpp"
#include "Install/VentoyInstallOptions.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick {

// An option held a text that names no engine value.
struct HelperOptionMappingError : std::runtime_error {
    struct UnknownRawValue {
        std::string field;  // "dataFilesystem", "partitionStyle" or "filesystem"
        std::string value;
        bool operator==(const UnknownRawValue&) const = default;
    };
    using Case = UnknownRawValue;

    explicit HelperOptionMappingError(Case c);  // what() == render(value)
    Case value;
};

// "unknownRawValue(field: \"dataFilesystem\", value: \"FAT32\")"
[[nodiscard]] std::string render(const HelperOptionMappingError::Case& error);

struct HelperInstallOptions {
    std::string dataFilesystem = "exfat";  // "exfat" or "fat32"
    std::string partitionStyle = "mbr";    // "mbr" or "gpt"
    std::int64_t reserveBytesAtEnd = 0;
    bool alignTo4K = true;
    std::optional<std::string> ventoyVersion;
    std::optional<std::int64_t> dataClusterBytes;
    std::optional<std::string> volumeLabel;

    HelperInstallOptions() = default;  // the defaults: exFAT, MBR, no reserve, aligned
    HelperInstallOptions(std::string dataFilesystem, std::string partitionStyle, std::int64_t reserveBytesAtEnd,
                         bool alignTo4K, std::optional<std::string> ventoyVersion,
                         std::optional<std::int64_t> dataClusterBytes, std::optional<std::string> volumeLabel);
    explicit HelperInstallOptions(const VentoyInstallOptions& options);

    // Throws HelperOptionMappingError for an unknown file system (checked first) or style,
    // then whatever VentoyInstallOptionsError the validating constructor raises.
    [[nodiscard]] VentoyInstallOptions engineOptions() const;

    bool operator==(const HelperInstallOptions&) const = default;
};

struct HelperRemoveOptions {
    std::string filesystem = "exfat";  // only "exfat" is offered for a plain volume
    std::string partitionStyle = "mbr";
    std::string volumeLabel = std::string(VentoyInstallOptions::defaultVolumeLabel);
    std::optional<std::int64_t> dataClusterBytes;

    struct EngineValues {
        DriveFilesystem filesystem;
        PartitionStyle partitionStyle;
        bool operator==(const EngineValues&) const = default;
    };

    HelperRemoveOptions() = default;
    HelperRemoveOptions(std::string filesystem, std::string partitionStyle, std::string volumeLabel,
                        std::optional<std::int64_t> dataClusterBytes);

    // Throws HelperOptionMappingError for a file system other than "exfat" or an unknown
    // style. Then, since the formatter would refuse them only after the partition table is
    // gone, throws VentoyInstallOptionsError for a label of 12 or more UTF-16 units
    // (volumeLabelTooLong) and for a cluster size exFAT cannot take (clusterNotPowerOfTwo,
    // clusterOutOfRange). A blank label is a volume without a name and passes.
    [[nodiscard]] EngineValues engineValues() const;

    bool operator==(const HelperRemoveOptions&) const = default;
};

void PrintTo(const HelperInstallOptions& options, std::ostream* os);
void PrintTo(const HelperRemoveOptions& options, std::ostream* os);

template <>
struct JsonCoding<HelperInstallOptions> {
    static nlohmann::json encode(const HelperInstallOptions& options);
    static HelperInstallOptions decode(const nlohmann::json& json, const JsonPath& path);
};

template <>
struct JsonCoding<HelperRemoveOptions> {
    static nlohmann::json encode(const HelperRemoveOptions& options);
    static HelperRemoveOptions decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
