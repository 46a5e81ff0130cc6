#include "HelperWire/HelperDiskRef.hpp"

#include "HelperWire/DeviceFingerprintJson.hpp"
#include "Text/CaseDescription.hpp"

#include <sstream>

namespace marlowick {

HelperDiskRef::HelperDiskRef(std::string path, std::int64_t logicalSectorSize, std::int64_t sectors,
                             std::optional<DeviceFingerprint> identity)
    : rawDevicePath(std::move(path)),
      sectorSize(logicalSectorSize),
      sectorCount(sectors),
      fingerprint(std::move(identity)) {}

HelperDiskRef::HelperDiskRef(const DiscoveredDisk& disk)
    : HelperDiskRef(disk.rawDevicePath(), disk.geometry.sectorSize, disk.geometry.sectorCount, disk.fingerprint()) {}

void PrintTo(const HelperDiskRef& disk, std::ostream* os) {
    std::string identity = "nil";
    if (disk.fingerprint) {
        std::ostringstream text;
        PrintTo(*disk.fingerprint, &text);
        identity = text.str();
    }
    *os << CaseDescription("HelperDiskRef")
               .field("rawDevicePath", disk.rawDevicePath)
               .field("sectorSize", disk.sectorSize)
               .field("sectorCount", disk.sectorCount)
               .rawField("fingerprint", identity)
               .str();
}

nlohmann::json JsonCoding<HelperDiskRef>::encode(const HelperDiskRef& disk) {
    return JsonObjectWriter()
        .put("rawDevicePath", disk.rawDevicePath)
        .put("sectorSize", disk.sectorSize)
        .put("sectorCount", disk.sectorCount)
        .putOptional("fingerprint", disk.fingerprint)
        .json();
}

HelperDiskRef JsonCoding<HelperDiskRef>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader object(json, path);
    return HelperDiskRef(object.requiredPathText("rawDevicePath"), object.required<std::int64_t>("sectorSize"),
                         object.required<std::int64_t>("sectorCount"),
                         object.optional<DeviceFingerprint>("fingerprint"));
}

}  // namespace marlowick
