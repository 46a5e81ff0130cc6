#include "Assets/VentoyRegistryDocument.hpp"

#include <limits>

#include <nlohmann/json.hpp>

namespace marlowick::VentoyRegistryDocument {
namespace {

using Json = nlohmann::json;

// Ends the decode of the whole document; caught in decode() only.
struct Unreadable {};

// The value under `key`, or nullptr when the key is missing or its value is null.
const Json* member(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return nullptr;
    return &*found;
}

const Json& required(const Json& object, const char* key) {
    const Json* value = member(object, key);
    if (value == nullptr) throw Unreadable{};
    return *value;
}

std::string text(const Json& value) {
    if (!value.is_string()) throw Unreadable{};
    return value.get<std::string>();
}

bool flag(const Json& value) {
    if (!value.is_boolean()) throw Unreadable{};
    return value.get<bool>();
}

// Non-negative literals arrive unsigned and may exceed the signed range; literals
// beyond 64 bits, or with a fraction or exponent, arrive as floating point.
std::int64_t integer(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) throw Unreadable{};
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    throw Unreadable{};
}

template <class T>
std::optional<T> optionalValue(const Json& object, const char* key, T (*read)(const Json&)) {
    const Json* value = member(object, key);
    if (value == nullptr) return std::nullopt;
    return read(*value);
}

AssetDTO asset(const Json& record) {
    if (!record.is_object()) throw Unreadable{};
    return AssetDTO{
        .memberPath = text(required(record, "memberPath")),
        .compressedSha256 = text(required(record, "compressedSha256")),
        .compressedSizeBytes = integer(required(record, "compressedSizeBytes")),
        .decompressedSha256 = text(required(record, "decompressedSha256")),
        .decompressedSizeBytes = integer(required(record, "decompressedSizeBytes")),
    };
}

ReleaseDTO release(const Json& record) {
    if (!record.is_object()) throw Unreadable{};
    ReleaseDTO result{
        .version = text(required(record, "version")),
        .enabled = optionalValue(record, "enabled", flag),
        .current = optionalValue(record, "current", flag),
        .visible = optionalValue(record, "visible", flag),
        .verifiedOn = optionalValue(record, "verifiedOn", text),
        .minimumAppVersion = optionalValue(record, "minimumAppVersion", integer),
        .archiveName = text(required(record, "archiveName")),
        .archiveSha256 = text(required(record, "archiveSha256")),
        .archiveSizeBytes = integer(required(record, "archiveSizeBytes")),
        .downloadBaseUrl = optionalValue(record, "downloadBaseUrl", text),
        .assets = {},
    };
    const Json& assets = required(record, "assets");
    if (!assets.is_object()) throw Unreadable{};
    for (const auto& [key, value] : assets.items()) result.assets.emplace_back(key, asset(value));
    return result;
}

RegistryDTO registry(const Json& document) {
    if (!document.is_object()) throw Unreadable{};
    RegistryDTO result{
        .schemaVersion = optionalValue(document, "schemaVersion", integer),
        .downloadBaseUrl = optionalValue(document, "downloadBaseUrl", text),
        .releases = std::nullopt,
    };
    if (const Json* releases = member(document, "releases")) {
        if (!releases->is_array()) throw Unreadable{};
        result.releases.emplace();
        for (const Json& record : *releases) result.releases->push_back(release(record));
    }
    return result;
}

}  // namespace

std::optional<RegistryDTO> decode(std::span<const std::uint8_t> bytes) noexcept {
    try {
        // No exceptions from the parser: a syntax error, invalid UTF-8 or a number out of
        // range gives a discarded value instead.
        const Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
        if (document.is_discarded()) return std::nullopt;
        return registry(document);
    } catch (const Unreadable&) {
        return std::nullopt;
    } catch (const std::exception&) {
        // Out of memory on a hostile document: unreadable like any other.
        return std::nullopt;
    }
}

}  // namespace marlowick::VentoyRegistryDocument
