#include "HelperWire/HelperProgress.hpp"

#include <stdexcept>
#include <string>

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

HelperProgress::Stage stageNamed(std::string_view name) {
    if (const auto stage = helperProgressStageRawValues.parse(name)) return *stage;
    throw std::logic_error("no wire stage is named " + std::string(name));
}

std::optional<std::int64_t> nonNegativeCount(const JsonObjectReader& reader, std::string_view key) {
    const auto count = reader.optional<std::int64_t>(key);
    if (count && *count < 0) throwJsonDecodingError(reader.where().key(key), "negative byte count");
    return count;
}

std::optional<std::int64_t> currentOf(const std::optional<ByteProgress>& progress) {
    if (!progress) return std::nullopt;
    return progress->currentBytes;
}

std::optional<std::int64_t> totalOf(const std::optional<ByteProgress>& progress) {
    if (!progress) return std::nullopt;
    return progress->totalBytes;
}

}  // namespace

HelperProgress::Stage helperStage(InstallStage stage) { return stageNamed(rawValue(stage)); }

HelperProgress::Stage helperStage(FormatStage stage) { return stageNamed(rawValue(stage)); }

HelperProgress::Stage helperStage(RawWriteStage stage) {
    switch (stage) {
        case RawWriteStage::write: return HelperProgress::Stage::writeRawImage;
        case RawWriteStage::flush: return HelperProgress::Stage::flush;
        case RawWriteStage::verify: return HelperProgress::Stage::verifyRawImage;
    }
    throw std::logic_error("unknown raw write stage");
}

HelperProgress::HelperProgress(InstallStage engineStage, const std::optional<ByteProgress>& progress)
    : HelperProgress(helperStage(engineStage), currentOf(progress), totalOf(progress)) {}

HelperProgress::HelperProgress(FormatStage engineStage, const std::optional<ByteProgress>& progress)
    : HelperProgress(helperStage(engineStage), currentOf(progress), totalOf(progress)) {}

HelperProgress::HelperProgress(RawWriteStage engineStage, const std::optional<ByteProgress>& progress)
    : HelperProgress(helperStage(engineStage), currentOf(progress), totalOf(progress)) {}

std::optional<ByteProgress> HelperProgress::byteProgress() const {
    if (!currentBytes) return std::nullopt;
    return ByteProgress{*currentBytes, totalBytes};
}

void PrintTo(HelperProgress::Stage stage, std::ostream* os) { *os << rawValue(stage); }

void PrintTo(const HelperProgress& progress, std::ostream* os) {
    *os << CaseDescription("HelperProgress")
               .rawField("stage", rawValue(progress.stage))
               .field("currentBytes", progress.currentBytes)
               .field("totalBytes", progress.totalBytes)
               .str();
}

nlohmann::json JsonCoding<HelperProgress>::encode(const HelperProgress& progress) {
    return JsonObjectWriter()
        .putJson("stage", encodeRawValue(helperProgressStageRawValues, progress.stage))
        .putOptional("currentBytes", progress.currentBytes)
        .putOptional("totalBytes", progress.totalBytes)
        .json();
}

HelperProgress JsonCoding<HelperProgress>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader reader(json, path);
    return HelperProgress(reader.requiredRawValue("stage", helperProgressStageRawValues),
                          nonNegativeCount(reader, "currentBytes"), nonNegativeCount(reader, "totalBytes"));
}

}  // namespace marlowick
