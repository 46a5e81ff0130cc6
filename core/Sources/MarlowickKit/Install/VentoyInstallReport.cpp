#include "Install/VentoyInstallReport.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

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
        .field("mbrWriteOk", report.mbrWriteOk)
        .field("mbrVerifyOk", report.mbrVerifyOk)
        .field("coreWriteOk", report.coreWriteOk)
        .field("coreVerifyOk", report.coreVerifyOk)
        .field("formatOk", report.formatOk)
        .field("clusterCount", report.clusterCount)
        .field("clusterSizeBytes", report.clusterSizeBytes)
        .field("ventoyDiskWriteOk", report.ventoyDiskWriteOk)
        .field("ventoyDiskVerifyOk", report.ventoyDiskVerifyOk)
        .field("flushOk", report.flushOk)
        .rawField("cancelledAtStage", report.cancelledAtStage ? rawValue(*report.cancelledAtStage) : "none")
        .rawField("notes", noteList(report.notes))
        .str();
}

void PrintTo(const VentoyInstallReport& report, std::ostream* os) { *os << render(report); }

}  // namespace marlowick
