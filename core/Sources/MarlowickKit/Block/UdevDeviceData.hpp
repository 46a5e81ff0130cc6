#pragma once
// The properties udev recorded for a block device, read as a file from its database
// (<root>/b<major>:<minor>, lines such as "E:ID_SERIAL_SHORT=4C530001230913118183").
// Where udev does not run, or has not seen the device yet, there is no file and every
// property is absent. Read afresh on every call; never throws.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Block/SysfsBlockTree.hpp"

namespace marlowick {

class UdevDeviceData {
public:
    static constexpr const char* defaultRoot = "/run/udev/data";

    // Every property of the block device with that number; empty without a record.
    [[nodiscard]] static UdevDeviceData read(const std::string& dataRoot, DeviceNumber number);
    // The "E:" lines of a database record; other lines and lines without "=" are skipped.
    [[nodiscard]] static UdevDeviceData parse(std::string_view record);

    // The value as recorded, absent when missing or empty.
    [[nodiscard]] std::optional<std::string> value(const std::string& key) const;
    // A text property in the form udev keeps closest to the device's own words: the
    // "<key>_ENC" variant with its \xHH escapes undone (blanks and padding intact), else
    // the plain one (where udev has replaced blanks with underscores).
    [[nodiscard]] std::optional<std::string> text(const std::string& key) const;
    [[nodiscard]] bool empty() const { return properties.empty(); }

    // "SanDisk\x20" → "SanDisk "; a malformed escape is kept as written.
    [[nodiscard]] static std::string decodedEscapes(std::string_view encoded);

private:
    std::map<std::string, std::string> properties;
};

}  // namespace marlowick
