#pragma once
// A block-device failure as the helper reports it on the wire: the same six cases and
// payloads as BlockError, coded as a one-key case object, for example
//   {"outOfBounds":{"startSector":62521300,"sectorCount":64,"deviceSectorCount":62521344}}

#include <ostream>
#include <string>

#include "Block/BlockError.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

struct HelperBlockError {
    using Case = BlockError::Case;

    HelperBlockError() = default;
    explicit HelperBlockError(Case c) : value(std::move(c)) {}
    // Same case, same payload; cannot fail.
    explicit HelperBlockError(const BlockError& error) : value(error.value) {}

    Case value;
    bool operator==(const HelperBlockError&) const = default;
};

// "outOfBounds(startSector: 8, sectorCount: 4, deviceSectorCount: 10)"
[[nodiscard]] std::string render(const HelperBlockError& error);
// The same sentence and diagnostic line as the block error it carries.
[[nodiscard]] std::string userMessage(const HelperBlockError& error);
[[nodiscard]] std::string diagnosticDescription(const HelperBlockError& error);
void PrintTo(const HelperBlockError& error, std::ostream* os);

template <>
struct JsonCoding<HelperBlockError> {
    static nlohmann::json encode(const HelperBlockError& error);
    static HelperBlockError decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
