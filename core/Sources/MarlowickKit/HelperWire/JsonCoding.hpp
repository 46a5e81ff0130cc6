#pragma once
// The JSON coding that every value crossing the app ↔ helper pipe follows, over nlohmann-json.
// Pure: no I/O. Both programs use the same coding, so a value written by one is read by the other.
//
//   - A record is an object keyed by its field names. Every required field is written; an
//     absent optional is left out, never written as null. On reading, a missing key and a
//     null both give an absent optional; a null in a required field is an error.
//   - An enumeration with payloads is an object with exactly one case key whose value is an
//     object of the payload fields; an unlabelled payload sits under "_0"; a case without
//     payload is {}. Keys that name no case are ignored and not counted.
//   - An enumeration without payloads is its raw text.
//   - Integers are checked against their width: 2^31 is no Int32, 1.5 is no integer, and a
//     Boolean is never a number. Binary data is strict base64 text.
//   - Unknown keys are ignored everywhere. Any error refuses the whole value: decoding throws
//     JsonDecodingError and nothing is partially accepted.
//
// A type T takes part by specialising JsonCoding<T>:
//   template <> struct JsonCoding<HelperDiskRef> {
//       static nlohmann::json encode(const HelperDiskRef& value);
//       static HelperDiskRef decode(const nlohmann::json& json, const JsonPath& path);  // throws
//   };
// and then reads its fields with JsonObjectReader and writes them with JsonObjectWriter.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Text/RawValueTable.hpp"

namespace marlowick {

// Where in the document a value sits, for error texts: "fingerprint.sectorSize", "images[2]".
class JsonPath {
public:
    JsonPath() = default;
    [[nodiscard]] JsonPath key(std::string_view name) const;
    [[nodiscard]] JsonPath index(std::size_t position) const;
    [[nodiscard]] const std::string& str() const { return text; }

private:
    explicit JsonPath(std::string t) : text(std::move(t)) {}
    std::string text;
};

struct JsonDecodingError : std::runtime_error {
    JsonDecodingError(const JsonPath& where, const std::string& problem);
    std::string path;     // empty for the top-level value
    std::string problem;  // "Invalid number of keys found, expected one."
};

template <class T>
struct JsonCoding;

// Scalars. Each decode throws JsonDecodingError on a wrong type or a number outside its width.
template <>
struct JsonCoding<bool> {
    static nlohmann::json encode(bool value) { return value; }
    static bool decode(const nlohmann::json& json, const JsonPath& path);
};
template <>
struct JsonCoding<std::int32_t> {
    static nlohmann::json encode(std::int32_t value) { return value; }
    static std::int32_t decode(const nlohmann::json& json, const JsonPath& path);
};
template <>
struct JsonCoding<std::int64_t> {
    static nlohmann::json encode(std::int64_t value) { return value; }
    static std::int64_t decode(const nlohmann::json& json, const JsonPath& path);
};
template <>
struct JsonCoding<std::string> {
    static nlohmann::json encode(const std::string& value) { return value; }
    static std::string decode(const nlohmann::json& json, const JsonPath& path);
};
// A list is an array of its elements in order.
template <class T>
struct JsonCoding<std::vector<T>> {
    static nlohmann::json encode(const std::vector<T>& values) {
        nlohmann::json array = nlohmann::json::array();
        for (const T& value : values) array.push_back(JsonCoding<T>::encode(value));
        return array;
    }
    static std::vector<T> decode(const nlohmann::json& json, const JsonPath& path);
};

// Throws JsonDecodingError at `path` with `problem`.
[[noreturn]] void throwJsonDecodingError(const JsonPath& path, const std::string& problem);

// A file-system path: a string without NUL bytes (the kernel would cut the path short there).
[[nodiscard]] std::string decodeJsonPathText(const nlohmann::json& json, const JsonPath& path);

// Base64 of RFC 4648, standard alphabet, "=" padding, no line breaks.
[[nodiscard]] std::string encodeBase64(std::span<const std::uint8_t> bytes);
// Strict: every character in the alphabet, length a multiple of four, padding only at the end.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

// An enumeration without payloads, coded as its raw text; an unknown text is an error.
template <class Enum, std::size_t count>
[[nodiscard]] nlohmann::json encodeRawValue(const RawValueTable<Enum, count>& table, Enum value) {
    return std::string(table.text(value));
}
template <class Enum, std::size_t count>
[[nodiscard]] Enum decodeRawValue(const RawValueTable<Enum, count>& table, const nlohmann::json& json,
                                  const JsonPath& path) {
    const std::string raw = JsonCoding<std::string>::decode(json, path);
    if (const auto value = table.parse(raw)) return *value;
    throwJsonDecodingError(path, "unknown value \"" + raw + "\"");
}

// The fields of one record. Construction throws unless the value is an object. The reader
// refers to `json`, which must outlive it.
class JsonObjectReader {
public:
    JsonObjectReader(const nlohmann::json& json, JsonPath path);

    template <class T>
    [[nodiscard]] T required(std::string_view key) const {
        return JsonCoding<T>::decode(requiredValue(key), path.key(key));
    }
    // Missing or null gives absent.
    template <class T>
    [[nodiscard]] std::optional<T> optional(std::string_view key) const {
        const nlohmann::json* value = find(key);
        if (value == nullptr || value->is_null()) return std::nullopt;
        return JsonCoding<T>::decode(*value, path.key(key));
    }
    [[nodiscard]] std::string requiredPathText(std::string_view key) const;
    [[nodiscard]] std::vector<std::uint8_t> requiredBytes(std::string_view key) const;
    template <class Enum, std::size_t count>
    [[nodiscard]] Enum requiredRawValue(std::string_view key, const RawValueTable<Enum, count>& table) const {
        return decodeRawValue(table, requiredValue(key), path.key(key));
    }

    // The value under `key`, or nullptr when the key is missing (a null value is returned as is).
    [[nodiscard]] const nlohmann::json* find(std::string_view key) const;
    // The value under `key`; throws when it is missing or null.
    [[nodiscard]] const nlohmann::json& requiredValue(std::string_view key) const;
    [[nodiscard]] const JsonPath& where() const { return path; }

private:
    const nlohmann::json& object;
    JsonPath path;
};

// Builds one record: required fields always, optionals only when present.
class JsonObjectWriter {
public:
    template <class T>
    JsonObjectWriter& put(std::string_view key, const T& value) {
        object[std::string(key)] = JsonCoding<T>::encode(value);
        return *this;
    }
    template <class T>
    JsonObjectWriter& putOptional(std::string_view key, const std::optional<T>& value) {
        if (value) put(key, *value);
        return *this;
    }
    JsonObjectWriter& putJson(std::string_view key, nlohmann::json value) {
        object[std::string(key)] = std::move(value);
        return *this;
    }
    JsonObjectWriter& putBytes(std::string_view key, std::span<const std::uint8_t> bytes) {
        return putJson(key, encodeBase64(bytes));
    }
    // Hands the built object over; the writer is left empty.
    [[nodiscard]] nlohmann::json json() { return std::move(object); }

private:
    nlohmann::json object = nlohmann::json::object();
};

// One case of an enumeration with payloads, as read: its name and its payload object.
struct JsonCase {
    std::string_view name;
    JsonObjectReader payload;
};

// Finds the single case key among `caseNames` (other keys are ignored). No case key or more
// than one: "Invalid number of keys found, expected one."; a payload that is not an object fails.
[[nodiscard]] JsonCase readJsonCase(const nlohmann::json& json, const JsonPath& path,
                                    std::span<const std::string_view> caseNames);
// {"<name>": payload}; the payload must be an object ({} for a case without payload).
[[nodiscard]] nlohmann::json writeJsonCase(std::string_view name, nlohmann::json payload = nlohmann::json::object());
// {"<name>": {"_0": value}}: a case whose one payload has no label.
template <class T>
[[nodiscard]] nlohmann::json writeUnlabelledJsonCase(std::string_view name, const T& value) {
    return writeJsonCase(name, JsonObjectWriter().put("_0", value).json());
}

template <class T>
std::vector<T> JsonCoding<std::vector<T>>::decode(const nlohmann::json& json, const JsonPath& path) {
    if (!json.is_array()) throwJsonDecodingError(path, "expected an array");
    std::vector<T> values;
    values.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) values.push_back(JsonCoding<T>::decode(json[i], path.index(i)));
    return values;
}

// Whole documents. Parsing refuses invalid UTF-8 and trailing bytes after the value.
[[nodiscard]] nlohmann::json parseJsonDocument(std::string_view text);  // throws JsonDecodingError

template <class T>
[[nodiscard]] T decodeJson(std::string_view text) {
    return JsonCoding<T>::decode(parseJsonDocument(text), JsonPath());
}
template <class T>
[[nodiscard]] std::optional<T> tryDecodeJson(std::string_view text) {
    try {
        return decodeJson<T>(text);
    } catch (const JsonDecodingError&) {
        return std::nullopt;
    }
}
// Compact text, one line (no raw line breaks: they are escaped inside strings). Absent when a
// string holds invalid UTF-8, which no reader would accept.
[[nodiscard]] std::optional<std::string> serializeJsonDocument(const nlohmann::json& json);
template <class T>
[[nodiscard]] std::optional<std::string> encodeJson(const T& value) {
    return serializeJsonDocument(JsonCoding<T>::encode(value));
}

}  // namespace marlowick
