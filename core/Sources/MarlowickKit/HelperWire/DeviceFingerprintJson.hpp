#pragma once
// The wire form of a DeviceFingerprint: one object with the keys serialNumber, vendor, model,
// revision (left out when absent; missing or null read as absent), capacityBytes, sectorSize,
// isRemovable and isInternal (always written, required). Decoding stores the values as they
// arrive, without the initialiser's trimming, so "" stays a present, empty text.

#include "Block/DeviceFingerprint.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

template <>
struct JsonCoding<DeviceFingerprint> {
    static nlohmann::json encode(const DeviceFingerprint& fingerprint);
    static DeviceFingerprint decode(const nlohmann::json& json, const JsonPath& path);
};

// A compared field travels as its raw text ("serialNumber", "capacity", …).
template <>
struct JsonCoding<DeviceFingerprint::Field> {
    static nlohmann::json encode(DeviceFingerprint::Field field) {
        return encodeRawValue(fingerprintFieldRawValues, field);
    }
    static DeviceFingerprint::Field decode(const nlohmann::json& json, const JsonPath& path) {
        return decodeRawValue(fingerprintFieldRawValues, json, path);
    }
};

}  // namespace marlowick
