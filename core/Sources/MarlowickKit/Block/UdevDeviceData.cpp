#include "Block/UdevDeviceData.hpp"

#include <filesystem>

namespace marlowick {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

UdevDeviceData UdevDeviceData::read(const std::string& dataRoot, DeviceNumber number) {
    const auto record = SysfsBlockTree::readAttributeFile(std::filesystem::path(dataRoot) / ("b" + marlowick::text(number)));
    if (!record) return {};
    return parse(*record);
}

UdevDeviceData UdevDeviceData::parse(std::string_view record) {
    UdevDeviceData data;
    while (!record.empty()) {
        const auto end = record.find('\n');
        const std::string_view line = record.substr(0, end);
        record = end == std::string_view::npos ? std::string_view{} : record.substr(end + 1);
        if (!line.starts_with("E:")) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || equals == 2) continue;
        data.properties.insert_or_assign(std::string(line.substr(2, equals - 2)), std::string(line.substr(equals + 1)));
    }
    return data;
}

std::optional<std::string> UdevDeviceData::value(const std::string& key) const {
    const auto found = properties.find(key);
    if (found == properties.end() || found->second.empty()) return std::nullopt;
    return found->second;
}

std::optional<std::string> UdevDeviceData::text(const std::string& key) const {
    if (const auto encoded = value(key + "_ENC")) return decodedEscapes(*encoded);
    return value(key);
}

std::string UdevDeviceData::decodedEscapes(std::string_view encoded) {
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x') {
            const int high = hexDigit(encoded[i + 2]);
            const int low = hexDigit(encoded[i + 3]);
            if (high >= 0 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        decoded.push_back(encoded[i]);
    }
    return decoded;
}

}  // namespace marlowick
