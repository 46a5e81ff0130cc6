#include "HelperWire/DeviceFingerprintJson.hpp"

namespace marlowick {

nlohmann::json JsonCoding<DeviceFingerprint>::encode(const DeviceFingerprint& f) {
    return JsonObjectWriter()
        .putOptional("serialNumber", f.serialNumber)
        .putOptional("vendor", f.vendor)
        .putOptional("model", f.model)
        .putOptional("revision", f.revision)
        .put("capacityBytes", f.capacityBytes)
        .put("sectorSize", f.sectorSize)
        .put("isRemovable", f.isRemovable)
        .put("isInternal", f.isInternal)
        .json();
}

DeviceFingerprint JsonCoding<DeviceFingerprint>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader object(json, path);
    DeviceFingerprint f;
    f.serialNumber = object.optional<std::string>("serialNumber");
    f.vendor = object.optional<std::string>("vendor");
    f.model = object.optional<std::string>("model");
    f.revision = object.optional<std::string>("revision");
    f.capacityBytes = object.required<std::int64_t>("capacityBytes");
    f.sectorSize = object.required<std::int64_t>("sectorSize");
    f.isRemovable = object.required<bool>("isRemovable");
    f.isInternal = object.required<bool>("isInternal");
    return f;
}

}  // namespace marlowick
