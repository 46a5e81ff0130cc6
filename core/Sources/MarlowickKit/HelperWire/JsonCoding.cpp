#include "HelperWire/JsonCoding.hpp"

#include <cmath>
#include <limits>

namespace marlowick {
namespace {

std::string describe(const JsonPath& where, const std::string& problem) {
    if (where.str().empty()) return problem;
    return where.str() + ": " + problem;
}

// A JSON number as a whole 64-bit value. A float literal counts only when it is whole and
// exact in a double (|x| <= 2^53): beyond that its digits were already rounded away.
std::int64_t wholeNumber(const nlohmann::json& json, const JsonPath& path) {
    if (json.is_number_integer() && !json.is_number_unsigned()) return json.get<std::int64_t>();
    if (json.is_number_unsigned()) {
        const auto value = json.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throwJsonDecodingError(path, "number " + std::to_string(value) + " does not fit a 64-bit integer");
        }
        return static_cast<std::int64_t>(value);
    }
    if (json.is_number_float()) {
        constexpr double exactLimit = 9007199254740992.0;  // 2^53
        const double value = json.get<double>();
        if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) <= exactLimit) {
            return static_cast<std::int64_t>(value);
        }
        throwJsonDecodingError(path, "number is not a whole number");
    }
    throwJsonDecodingError(path, std::string("expected a number, found ") + json.type_name());
}

constexpr std::string_view base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c) {
    const auto position = base64Alphabet.find(c);
    return position == std::string_view::npos ? -1 : static_cast<int>(position);
}

}  // namespace

JsonPath JsonPath::key(std::string_view name) const {
    if (text.empty()) return JsonPath(std::string(name));
    return JsonPath(text + "." + std::string(name));
}

JsonPath JsonPath::index(std::size_t position) const {
    return JsonPath(text + "[" + std::to_string(position) + "]");
}

JsonDecodingError::JsonDecodingError(const JsonPath& where, const std::string& what)
    : std::runtime_error(describe(where, what)), path(where.str()), problem(what) {}

void throwJsonDecodingError(const JsonPath& path, const std::string& problem) {
    throw JsonDecodingError(path, problem);
}

bool JsonCoding<bool>::decode(const nlohmann::json& json, const JsonPath& path) {
    if (!json.is_boolean()) throwJsonDecodingError(path, std::string("expected a Boolean, found ") + json.type_name());
    return json.get<bool>();
}

std::int32_t JsonCoding<std::int32_t>::decode(const nlohmann::json& json, const JsonPath& path) {
    const std::int64_t value = wholeNumber(json, path);
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        throwJsonDecodingError(path, "number " + std::to_string(value) + " does not fit a 32-bit integer");
    }
    return static_cast<std::int32_t>(value);
}

std::int64_t JsonCoding<std::int64_t>::decode(const nlohmann::json& json, const JsonPath& path) {
    return wholeNumber(json, path);
}

std::string JsonCoding<std::string>::decode(const nlohmann::json& json, const JsonPath& path) {
    if (!json.is_string()) throwJsonDecodingError(path, std::string("expected a string, found ") + json.type_name());
    return json.get<std::string>();
}

std::string decodeJsonPathText(const nlohmann::json& json, const JsonPath& path) {
    std::string text = JsonCoding<std::string>::decode(json, path);
    if (text.find('\0') != std::string::npos) throwJsonDecodingError(path, "path holds a NUL byte");
    return text;
}

std::string encodeBase64(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) text.push_back(base64Alphabet[(group >> shift) & 0x3F]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) group |= std::uint32_t{bytes[i + 1]} << 8;
        text.push_back(base64Alphabet[(group >> 18) & 0x3F]);
        text.push_back(base64Alphabet[(group >> 12) & 0x3F]);
        text.push_back(rest == 2 ? base64Alphabet[(group >> 6) & 0x3F] : '=');
        text.push_back('=');
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const std::size_t digits = last ? 4 - padding : 4;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            int digit = 0;
            if (k < digits) {
                digit = base64Digit(text[i + k]);
                if (digit < 0) return std::nullopt;  // '=' inside the text lands here too
            }
            group = (group << 6) | static_cast<std::uint32_t>(digit);
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 16));
        if (digits > 2) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
        if (digits > 3) bytes.push_back(static_cast<std::uint8_t>(group));
    }
    return bytes;
}

JsonObjectReader::JsonObjectReader(const nlohmann::json& json, JsonPath where) : object(json), path(std::move(where)) {
    if (!json.is_object()) {
        throwJsonDecodingError(path, std::string("expected an object, found ") + json.type_name());
    }
}

const nlohmann::json* JsonObjectReader::find(std::string_view key) const {
    const auto found = object.find(std::string(key));
    return found == object.end() ? nullptr : &*found;
}

const nlohmann::json& JsonObjectReader::requiredValue(std::string_view key) const {
    const nlohmann::json* value = find(key);
    if (value == nullptr) throwJsonDecodingError(path.key(key), "required key is missing");
    if (value->is_null()) throwJsonDecodingError(path.key(key), "required value is null");
    return *value;
}

std::string JsonObjectReader::requiredPathText(std::string_view key) const {
    return decodeJsonPathText(requiredValue(key), path.key(key));
}

std::vector<std::uint8_t> JsonObjectReader::requiredBytes(std::string_view key) const {
    const JsonPath where = path.key(key);
    const std::string text = JsonCoding<std::string>::decode(requiredValue(key), where);
    auto bytes = decodeBase64(text);
    if (!bytes) throwJsonDecodingError(where, "invalid base64 text");
    return std::move(*bytes);
}

JsonCase readJsonCase(const nlohmann::json& json, const JsonPath& path, std::span<const std::string_view> caseNames) {
    const JsonObjectReader object(json, path);
    std::optional<std::string_view> found;
    for (const std::string_view name : caseNames) {
        if (object.find(name) == nullptr) continue;
        if (found) throwJsonDecodingError(path, "Invalid number of keys found, expected one.");
        found = name;
    }
    if (!found) throwJsonDecodingError(path, "Invalid number of keys found, expected one.");
    return JsonCase{*found, JsonObjectReader(*object.find(*found), path.key(*found))};
}

nlohmann::json writeJsonCase(std::string_view name, nlohmann::json payload) {
    nlohmann::json object = nlohmann::json::object();
    object[std::string(name)] = std::move(payload);
    return object;
}

nlohmann::json parseJsonDocument(std::string_view text) {
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& error) {
        throwJsonDecodingError(JsonPath(), std::string("not a JSON document: ") + error.what());
    }
}

std::optional<std::string> serializeJsonDocument(const nlohmann::json& json) {
    try {
        return json.dump();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

}  // namespace marlowick
