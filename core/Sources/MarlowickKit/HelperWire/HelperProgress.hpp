#pragma once
// How far the helper has come: a wire stage and, for steps that count bytes, the bytes done
// and the bytes of the whole step.
//   {"stage":"writeVentoyDisk","currentBytes":1048576,"totalBytes":33554432}
// The engine enumerations list their stages in another order than the wire, so every
// mapping goes by name, never by position.

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>

#include "Text/RawValueTable.hpp"
#include "Format/FormatReport.hpp"
#include "HelperWire/JsonCoding.hpp"
#include "Bytes/ByteProgress.hpp"
#include "Image/RawImageWriteReport.hpp"
#include "Install/InstallStage.hpp"

namespace marlowick {

struct HelperProgress {
    enum class Stage {
        layout,
        writeCore,
        verifyCore,
        formatPart1,
        writeVentoyDisk,
        verifyVentoyDisk,
        writeMbr,
        verifyMbr,
        flush,
        scrubReserved,
        format,
        verifyFormat,
        copyImage,       // the application's copy onto a mounted volume; never on the wire
        verifyImage,     // likewise
        writeRawImage,
        verifyRawImage,
    };

    Stage stage = Stage::layout;
    std::optional<std::int64_t> currentBytes;
    std::optional<std::int64_t> totalBytes;  // absent when unknown or when currentBytes is absent

    HelperProgress() = default;
    HelperProgress(Stage wireStage, std::optional<std::int64_t> current, std::optional<std::int64_t> total)
        : stage(wireStage), currentBytes(current), totalBytes(total) {}
    HelperProgress(InstallStage engineStage, const std::optional<ByteProgress>& progress);
    HelperProgress(FormatStage engineStage, const std::optional<ByteProgress>& progress);
    HelperProgress(RawWriteStage engineStage, const std::optional<ByteProgress>& progress);

    // The counts in the engine's form; none when currentBytes is absent.
    [[nodiscard]] std::optional<ByteProgress> byteProgress() const;

    bool operator==(const HelperProgress&) const = default;
};

inline constexpr RawValueTable<HelperProgress::Stage, 16> helperProgressStageRawValues{
    {"layout", "writeCore", "verifyCore", "formatPart1", "writeVentoyDisk", "verifyVentoyDisk", "writeMbr",
     "verifyMbr", "flush", "scrubReserved", "format", "verifyFormat", "copyImage", "verifyImage", "writeRawImage",
     "verifyRawImage"}};

[[nodiscard]] constexpr std::string_view rawValue(HelperProgress::Stage stage) {
    return helperProgressStageRawValues.text(stage);
}
// The wire stage of an engine stage: the one of the same name; the raw writer's write and
// verify are writeRawImage and verifyRawImage.
[[nodiscard]] HelperProgress::Stage helperStage(InstallStage stage);
[[nodiscard]] HelperProgress::Stage helperStage(FormatStage stage);
[[nodiscard]] HelperProgress::Stage helperStage(RawWriteStage stage);

void PrintTo(HelperProgress::Stage stage, std::ostream* os);
void PrintTo(const HelperProgress& progress, std::ostream* os);

// An unknown stage name ("Flush" included) or a negative count refuses the whole record:
// the helper never sends one, and a count below zero would break ByteProgress.
template <>
struct JsonCoding<HelperProgress> {
    static nlohmann::json encode(const HelperProgress& progress);
    static HelperProgress decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
