#include "Install/VentoyInstallReport.hpp"

#include "Diagnostics/CaseDescription.hpp"

namespace marlowick {
namespace {

std::string optionalFlag(const std::optional<bool>& flag) {
    if (!flag) return "none";
    return *flag ? "true" : "false";
}

std::string optionalNumber(const std::optional<std::int64_t>& number) {
    return number ? std::to_string(*number) : "none";
}

std::string noteList(const std::vector<std::string>& notes) {
    std::string list = "[";
    for (const std::string& note : notes) {
        if (list.size() > 1) list += ", ";
        list += CaseDescription::quoted(note);
    }
    return list + "]";
}

}  // namespace

std::string render(const VentoyInstallReport& report) {
    return CaseDescription("VentoyInstallReport")
        .field("version", report.version)
        .field("sectorSize", report.sectorSize)
        .field("sectorCount", report.sectorCount)
        .field("capacityBytes", report.capacityBytes)
        .field("part1StartSector", report.part1StartSector)
        .field("part1SectorCount", report.part1SectorCount)
        .field("part2StartSector", report.part2StartSector)
        .field("part2SectorCount", report.part2SectorCount)
        .field("diskSignature", report.diskSignature)
        .field("volumeLabel", report.volumeLabel)
        .field("formatPerformed", report.formatPerformed)
        .rawField("mbrWriteOk", optionalFlag(report.mbrWriteOk))
        .rawField("mbrVerifyOk", optionalFlag(report.mbrVerifyOk))
        .rawField("coreWriteOk", optionalFlag(report.coreWriteOk))
        .rawField("coreVerifyOk", optionalFlag(report.coreVerifyOk))
        .rawField("formatOk", optionalFlag(report.formatOk))
        .rawField("clusterCount", optionalNumber(report.clusterCount))
        .rawField("clusterSizeBytes", optionalNumber(report.clusterSizeBytes))
        .rawField("ventoyDiskWriteOk", optionalFlag(report.ventoyDiskWriteOk))
        .rawField("ventoyDiskVerifyOk", optionalFlag(report.ventoyDiskVerifyOk))
        .rawField("flushOk", optionalFlag(report.flushOk))
        .rawField("cancelledAtStage", report.cancelledAtStage ? rawValue(*report.cancelledAtStage) : "none")
        .rawField("notes", noteList(report.notes))
        .str();
}

void PrintTo(const VentoyInstallReport& report, std::ostream* os) { *os << render(report); }

}  // namespace marlowick
