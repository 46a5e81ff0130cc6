#include "HelperWire/HelperDriveStatus.hpp"

#include <array>

namespace marlowick {
namespace {

using Status = HelperDriveStatus;

constexpr std::array<std::string_view, 3> statusCaseNames{"notVentoy", "ventoy", "incompatibleVentoy"};

struct FromEngine {
    std::optional<std::string>& installedVersion;
    std::optional<HelperDriveUsage>& usage;

    Status::Case operator()(const VentoyDriveStatus::NotVentoy& s) const { return Status::NotVentoy{s.reason}; }
    Status::Case operator()(const VentoyDriveStatus::Ventoy& s) const {
        return Status::Ventoy{HelperVentoyLayout(s.layout), std::move(installedVersion), std::move(usage)};
    }
    Status::Case operator()(const VentoyDriveStatus::IncompatibleVentoy& s) const {
        return Status::IncompatibleVentoy{s.reason};
    }
};

struct Encoder {
    nlohmann::json operator()(const Status::NotVentoy& s) const {
        return writeJsonCase("notVentoy", JsonObjectWriter().put("reason", s.reason).json());
    }
    nlohmann::json operator()(const Status::Ventoy& s) const {
        return writeJsonCase("ventoy", JsonObjectWriter()
                                           .put("layout", s.layout)
                                           .putOptional("installedVersion", s.installedVersion)
                                           .putOptional("usage", s.usage)
                                           .json());
    }
    nlohmann::json operator()(const Status::IncompatibleVentoy& s) const {
        return writeJsonCase("incompatibleVentoy", JsonObjectWriter().put("reason", s.reason).json());
    }
};

}  // namespace

std::optional<DriveFilesystem> HelperDriveUsage::dataFilesystem() const {
    if (!filesystem) return std::nullopt;
    return driveFilesystemFromRaw(*filesystem);
}

std::optional<HelperDriveUsage> HelperDriveUsage::from(const ExfatFreeSpaceResult& result) {
    const auto* success = std::get_if<ExfatFreeSpaceResult::Success>(&result.value);
    if (success == nullptr) return std::nullopt;
    return HelperDriveUsage{success->freeBytes, success->totalBytes, std::string(rawValue(DriveFilesystem::exfat))};
}

HelperDriveStatus::HelperDriveStatus(const VentoyDriveStatus& status, std::optional<std::string> installedVersion,
                                     std::optional<HelperDriveUsage> usage)
    : value(std::visit(FromEngine{installedVersion, usage}, status.value)) {}

void PrintTo(const HelperDriveUsage& usage, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperDriveUsage>::encode(usage)).value_or("usage");
}

void PrintTo(const HelperDriveStatus& status, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperDriveStatus>::encode(status)).value_or("status");
}

nlohmann::json JsonCoding<HelperDriveUsage>::encode(const HelperDriveUsage& usage) {
    return JsonObjectWriter()
        .put("freeBytes", usage.freeBytes)
        .put("totalBytes", usage.totalBytes)
        .putOptional("filesystem", usage.filesystem)
        .json();
}

HelperDriveUsage JsonCoding<HelperDriveUsage>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader reader(json, path);
    return HelperDriveUsage{reader.required<std::int64_t>("freeBytes"), reader.required<std::int64_t>("totalBytes"),
                            reader.optional<std::string>("filesystem")};
}

nlohmann::json JsonCoding<HelperDriveStatus>::encode(const HelperDriveStatus& status) {
    return std::visit(Encoder{}, status.value);
}

HelperDriveStatus JsonCoding<HelperDriveStatus>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonCase found = readJsonCase(json, path, statusCaseNames);
    const JsonObjectReader& p = found.payload;
    if (found.name == "notVentoy") return HelperDriveStatus(Status::NotVentoy{p.required<std::string>("reason")});
    if (found.name == "ventoy") {
        return HelperDriveStatus(Status::Ventoy{p.required<HelperVentoyLayout>("layout"),
                                                p.optional<std::string>("installedVersion"),
                                                p.optional<HelperDriveUsage>("usage")});
    }
    return HelperDriveStatus(Status::IncompatibleVentoy{p.required<std::string>("reason")});
}

}  // namespace marlowick
