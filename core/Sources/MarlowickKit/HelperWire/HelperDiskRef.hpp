#pragma once
// Which drive a command is for: the path of its device node, its geometry and, when the
// user picked it from the list, the identity of the physical drive. The record itself checks
// nothing: geometry is checked where the device is opened, path and fingerprint where the
// target is verified.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "Block/DeviceFingerprint.hpp"
#include "Block/DiscoveredDisk.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

struct HelperDiskRef {
    std::string rawDevicePath;  // "/dev/sdb"
    std::int64_t sectorSize = 0;
    std::int64_t sectorCount = 0;
    std::optional<DeviceFingerprint> fingerprint;

    HelperDiskRef() = default;
    HelperDiskRef(std::string rawDevicePath, std::int64_t sectorSize, std::int64_t sectorCount,
                  std::optional<DeviceFingerprint> fingerprint);
    // The reference of the drive the user selected; the fingerprint is always present.
    explicit HelperDiskRef(const DiscoveredDisk& disk);

    bool operator==(const HelperDiskRef&) const = default;
};

void PrintTo(const HelperDiskRef& disk, std::ostream* os);

// {"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":62521344,"fingerprint":{…}}
// A path holding a NUL byte is refused.
template <>
struct JsonCoding<HelperDiskRef> {
    static nlohmann::json encode(const HelperDiskRef& disk);
    static HelperDiskRef decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
