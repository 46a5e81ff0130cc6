#include "HelperWire/HelperCommand.hpp"

#include <array>

namespace marlowick {
namespace {

using Command = HelperCommand;

constexpr std::array<std::string_view, 7> caseNames{"detect",   "prepare",    "update",       "removeVentoy",
                                                    "addImage", "listImages", "writeRawImage"};

struct Encoder {
    nlohmann::json operator()(const Command::Detect& c) const {
        return writeJsonCase("detect", JsonObjectWriter().put("disk", c.disk).json());
    }
    nlohmann::json operator()(const Command::Prepare& c) const {
        return writeJsonCase("prepare", JsonObjectWriter()
                                            .put("disk", c.disk)
                                            .put("assets", c.assets)
                                            .put("options", c.options)
                                            .putOptional("diskSignature", c.diskSignature)
                                            .json());
    }
    nlohmann::json operator()(const Command::Update& c) const {
        return writeJsonCase("update", JsonObjectWriter().put("disk", c.disk).put("assets", c.assets).json());
    }
    nlohmann::json operator()(const Command::RemoveVentoy& c) const {
        return writeJsonCase("removeVentoy", JsonObjectWriter().put("disk", c.disk).put("options", c.options).json());
    }
    nlohmann::json operator()(const Command::AddImage& c) const {
        return writeJsonCase("addImage", JsonObjectWriter()
                                             .put("disk", c.disk)
                                             .put("ventoyLayout", c.ventoyLayout)
                                             .put("name", c.name)
                                             .put("sizeBytes", c.sizeBytes)
                                             .put("sourcePath", c.sourcePath)
                                             .put("verifyContentHash", c.verifyContentHash)
                                             .json());
    }
    nlohmann::json operator()(const Command::ListImages& c) const {
        return writeJsonCase("listImages",
                             JsonObjectWriter().put("disk", c.disk).put("ventoyLayout", c.ventoyLayout).json());
    }
    nlohmann::json operator()(const Command::WriteRawImage& c) const {
        return writeJsonCase("writeRawImage", JsonObjectWriter()
                                                  .put("disk", c.disk)
                                                  .put("sourcePath", c.sourcePath)
                                                  .put("verify", c.verify)
                                                  .json());
    }
};

Command::Case decodeCase(const JsonCase& found) {
    const JsonObjectReader& p = found.payload;
    auto disk = p.required<HelperDiskRef>("disk");
    if (found.name == "detect") return Command::Detect{std::move(disk)};
    if (found.name == "prepare") {
        return Command::Prepare{std::move(disk), p.required<HelperAssetRefSet>("assets"),
                                p.required<HelperInstallOptions>("options"),
                                p.optional<std::int32_t>("diskSignature")};
    }
    if (found.name == "update") return Command::Update{std::move(disk), p.required<HelperAssetRefSet>("assets")};
    if (found.name == "removeVentoy") {
        return Command::RemoveVentoy{std::move(disk), p.required<HelperRemoveOptions>("options")};
    }
    if (found.name == "addImage") {
        return Command::AddImage{std::move(disk),
                                 p.required<HelperVentoyLayout>("ventoyLayout"),
                                 p.requiredPathText("name"),
                                 p.required<std::int64_t>("sizeBytes"),
                                 p.requiredPathText("sourcePath"),
                                 p.required<bool>("verifyContentHash")};
    }
    if (found.name == "listImages") {
        return Command::ListImages{std::move(disk), p.required<HelperVentoyLayout>("ventoyLayout")};
    }
    return Command::WriteRawImage{std::move(disk), p.requiredPathText("sourcePath"), p.required<bool>("verify")};
}

}  // namespace

const HelperDiskRef& HelperCommand::disk() const {
    return std::visit([](const auto& c) -> const HelperDiskRef& { return c.disk; }, value);
}

std::string_view HelperCommand::caseName() const { return caseNames.at(value.index()); }

bool HelperCommand::writesToDevice() const {
    return !std::holds_alternative<Detect>(value) && !std::holds_alternative<ListImages>(value);
}

std::optional<std::string> HelperCommand::rawWriteSourcePath() const {
    if (const auto* write = std::get_if<WriteRawImage>(&value)) return write->sourcePath;
    return std::nullopt;
}

void PrintTo(const HelperCommand& command, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperCommand>::encode(command)).value_or(std::string(command.caseName()));
}

nlohmann::json JsonCoding<HelperCommand>::encode(const HelperCommand& command) {
    return std::visit(Encoder{}, command.value);
}

HelperCommand JsonCoding<HelperCommand>::decode(const nlohmann::json& json, const JsonPath& path) {
    return HelperCommand{decodeCase(readJsonCase(json, path, caseNames))};
}

}  // namespace marlowick
