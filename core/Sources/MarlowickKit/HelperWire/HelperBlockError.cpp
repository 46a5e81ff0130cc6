#include "HelperWire/HelperBlockError.hpp"

#include <array>
#include <limits>

#include "Block/BlockErrorText.hpp"

namespace marlowick {
namespace {

constexpr std::array<std::string_view, 6> caseNames{"negativeSector",     "outOfBounds", "misalignedLength",
                                                    "invalidSectorCount", "closed",      "deviceFailure"};

struct Encoder {
    nlohmann::json operator()(const BlockError::NegativeSector& e) const {
        return writeJsonCase("negativeSector", JsonObjectWriter().put("startSector", e.startSector).json());
    }
    nlohmann::json operator()(const BlockError::OutOfBounds& e) const {
        return writeJsonCase("outOfBounds", JsonObjectWriter()
                                                .put("startSector", e.startSector)
                                                .put("sectorCount", e.sectorCount)
                                                .put("deviceSectorCount", e.deviceSectorCount)
                                                .json());
    }
    nlohmann::json operator()(const BlockError::MisalignedLength& e) const {
        return writeJsonCase("misalignedLength", JsonObjectWriter()
                                                     .put("length", e.length)
                                                     .put("sectorSize", std::int64_t{e.sectorSize})
                                                     .json());
    }
    nlohmann::json operator()(const BlockError::InvalidSectorCount& e) const {
        return writeJsonCase("invalidSectorCount", JsonObjectWriter().put("sectorCount", e.sectorCount).json());
    }
    nlohmann::json operator()(const BlockError::Closed& e) const {
        return writeJsonCase("closed", JsonObjectWriter().put("operation", e.operation).json());
    }
    nlohmann::json operator()(const BlockError::DeviceFailure& e) const {
        return writeJsonCase("deviceFailure",
                             JsonObjectWriter().put("operation", e.operation).put("detail", e.detail).json());
    }
};

// The block layer keeps a sector size in an int; a wider value is refused, not truncated.
int sectorSizeField(const JsonObjectReader& payload) {
    const auto value = payload.required<std::int64_t>("sectorSize");
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        throwJsonDecodingError(payload.where().key("sectorSize"), "sector size " + std::to_string(value) +
                                                                      " is out of range");
    }
    return static_cast<int>(value);
}

}  // namespace

std::string render(const HelperBlockError& error) { return render(BlockError{error.value}); }

void PrintTo(const HelperBlockError& error, std::ostream* os) { *os << render(error); }

nlohmann::json JsonCoding<HelperBlockError>::encode(const HelperBlockError& error) {
    return std::visit(Encoder{}, error.value);
}

HelperBlockError JsonCoding<HelperBlockError>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonCase found = readJsonCase(json, path, caseNames);
    const JsonObjectReader& p = found.payload;
    if (found.name == "negativeSector") {
        return HelperBlockError(BlockError::NegativeSector{p.required<std::int64_t>("startSector")});
    }
    if (found.name == "outOfBounds") {
        return HelperBlockError(BlockError::OutOfBounds{p.required<std::int64_t>("startSector"),
                                                        p.required<std::int64_t>("sectorCount"),
                                                        p.required<std::int64_t>("deviceSectorCount")});
    }
    if (found.name == "misalignedLength") {
        return HelperBlockError(BlockError::MisalignedLength{p.required<std::int64_t>("length"), sectorSizeField(p)});
    }
    if (found.name == "invalidSectorCount") {
        return HelperBlockError(BlockError::InvalidSectorCount{p.required<std::int64_t>("sectorCount")});
    }
    if (found.name == "closed") return HelperBlockError(BlockError::Closed{p.required<std::string>("operation")});
    return HelperBlockError(
        BlockError::DeviceFailure{p.required<std::string>("operation"), p.required<std::string>("detail")});
}

std::string userMessage(const HelperBlockError& error) { return userMessage(BlockError{error.value}); }

std::string diagnosticDescription(const HelperBlockError& error) {
    return diagnosticDescription(BlockError{error.value});
}

}  // namespace marlowick
