#include "Install/VentoyWriteSequence.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "Bytes/Sha256.hpp"
#include "Block/BlockChunkPlan.hpp"
#include "Install/CoreImgBlocklist.hpp"
#include "Install/VentoyPartitionTable.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick::VentoyWriteSequence {
namespace {

constexpr std::size_t bootCodeBytes = 440;

enum class Step { done, failed, cancelled };

// One image's place on the drive and the names it goes by.
struct ImageTarget {
    std::string file;  // "core.img", "ventoy.disk.img"
    std::span<const std::uint8_t> bytes;
    std::int64_t startSector;
    std::int64_t sectors;
    InstallStage writeStage;
    InstallStage verifyStage;
};

class Runner {
public:
    Runner(const Context& runContext, VentoyInstallReport& runReport) : context(runContext), report(runReport) {}

    bool cancelled(InstallStage stage) {
        if (!context.isCancelled || !context.isCancelled()) return false;
        report.cancelledAtStage = stage;
        return true;
    }

    void progress(InstallStage stage, std::optional<ByteProgress> bytes = std::nullopt) {
        if (context.onProgress) context.onProgress(stage, bytes);
    }

    std::vector<BlockChunkPlan::SectorChunk> chunks(const ImageTarget& image) const {
        return BlockChunkPlan::chunk(image.startSector, image.sectors, std::max<std::int64_t>(1, context.writeChunkSectors));
    }

    Step write(const ImageTarget& image) {
        const std::int64_t sectorSize = context.block.sectorSize();
        const std::int64_t total = image.sectors * sectorSize;
        std::int64_t done = 0;
        for (const auto& chunk : chunks(image)) {
            if (cancelled(image.writeStage)) return Step::cancelled;
            const auto from = image.bytes.begin() + static_cast<std::ptrdiff_t>((chunk.startSector - image.startSector) * sectorSize);
            const std::vector<std::uint8_t> data(from, from + static_cast<std::ptrdiff_t>(chunk.sectorCount * sectorSize));
            BlockWriteResult written = context.block.writeSectors(chunk.startSector, data);
            if (const auto* error = std::get_if<BlockError>(&written)) {
                note(image.file + " write failed at sector " + std::to_string(chunk.startSector) + ": " + render(*error));
                return Step::failed;
            }
            done += static_cast<std::int64_t>(data.size());
            progress(image.writeStage, ByteProgress{done, total});
        }
        return Step::done;
    }

    // Hashes what the drive holds in the image's range and compares it with `expected`.
    Step verify(const ImageTarget& image, const std::string& expected) {
        const std::int64_t total = image.sectors * context.block.sectorSize();
        std::int64_t done = 0;
        Sha256::Hasher hasher;
        for (const auto& chunk : chunks(image)) {
            if (cancelled(image.verifyStage)) return Step::cancelled;
            BlockReadResult read = context.block.readSectors(chunk.startSector, chunk.sectorCount);
            if (const auto* error = std::get_if<BlockError>(&read)) {
                note(image.file + " read-back failed at sector " + std::to_string(chunk.startSector) + ": " +
                     render(*error));
                return Step::failed;
            }
            const auto& data = std::get<BlockReadSuccess>(read).data;
            hasher.update(data);
            done += static_cast<std::int64_t>(data.size());
            progress(image.verifyStage, ByteProgress{done, total});
        }
        const std::string actual = hasher.finalHex();
        if (actual != expected) {
            note(image.file + " read-back SHA-256 " + actual + " != expected " + expected);
            return Step::failed;
        }
        return Step::done;
    }

    // A flush the device will not confirm is accepted once noted: the data was written.
    bool flush() {
        BlockFlushResult flushed = context.block.flush();
        if (const auto* error = std::get_if<BlockError>(&flushed)) {
            note("flush failed: " + render(*error));
            report.flushOk = false;
            return false;
        }
        if (const auto* notHonoured = std::get_if<BlockFlushNotHonoured>(&flushed); notHonoured && !flushNoted) {
            flushNoted = true;
            note("flush not honoured — a read-back may be served from the drive's cache: " + notHonoured->detail);
        }
        report.flushOk = true;
        return true;
    }

    // Points core.img's first sector at the rest of the image, then confirms it on the drive.
    bool patchBlocklist(std::int64_t coreStart) {
        BlockReadResult first = context.block.readSectors(coreStart, 1);
        if (const auto* error = std::get_if<BlockError>(&first)) {
            note("core.img: could not re-read the first sector to patch its blocklist: " + render(*error));
            report.coreVerifyOk = false;
            return false;
        }
        const auto patched = CoreImgBlocklist::patchTailPointer(std::get<BlockReadSuccess>(first).data, coreStart);
        if (!patched) {
            note("core.img: first sector is too short to hold a GRUB blocklist");
            report.coreVerifyOk = false;
            return false;
        }
        BlockWriteResult written = context.block.writeSectors(coreStart, *patched);
        if (const auto* error = std::get_if<BlockError>(&written)) {
            note("core.img: blocklist patch write failed: " + render(*error));
            report.coreVerifyOk = false;
            return false;
        }
        if (!flush()) return false;
        BlockReadResult again = context.block.readSectors(coreStart, 1);
        const auto* reread = std::get_if<BlockReadSuccess>(&again);
        if (!reread || CoreImgBlocklist::tailPointer(reread->data) != coreStart + 1) {
            note("core.img blocklist does not point at sector " + std::to_string(coreStart + 1) +
                 " — the drive would not boot in legacy BIOS mode");
            report.coreVerifyOk = false;
            return false;
        }
        return true;
    }

    // A drive that held a GPT keeps its backup header and entries in the last 33 sectors;
    // an MBR drive must not carry them, or tools would still find the old table there.
    // Sectors inside partition 2 already hold ventoy.disk.img and are left alone.
    bool clearOldBackupGpt(const VentoyLayout& layout) {
        const std::int64_t sectorCount = context.block.sectorCount();
        const std::int64_t first =
            std::max(layout.part2EndSector() + 1, sectorCount - VentoyLayoutCalculator::gptBackupReserveSectors);
        if (first >= sectorCount) return true;
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>((sectorCount - first) * context.block.sectorSize()), 0);
        BlockWriteResult written = context.block.writeSectors(first, zeros);
        if (const auto* error = std::get_if<BlockError>(&written)) {
            note("could not clear the old backup GPT at sector " + std::to_string(first) + ": " + render(*error));
            return false;
        }
        return true;
    }

    // Partition 1's MBR type as the drive has it, when it is one of the data types.
    std::uint8_t currentPart1Type() {
        BlockReadResult read = context.block.readSectors(0, 1);
        if (const auto* sector = std::get_if<BlockReadSuccess>(&read)) {
            const auto parsed = MbrBuilder::parse(sector->data);
            if (parsed && VentoyLayoutCalculator::isPart1DataType(parsed->entries.at(0).type)) {
                return parsed->entries.at(0).type;
            }
        }
        return VentoyLayoutCalculator::part1TypeData;
    }

    void note(std::string line) { report.notes.push_back(std::move(line)); }

private:
    const Context& context;
    VentoyInstallReport& report;
    bool flushNoted = false;
};

VentoyInstallReport emptyReport(const Context& context, const Plan& plan, const VentoyReleaseManifest& manifest) {
    VentoyInstallReport report;
    report.version = manifest.version();
    report.sectorSize = context.block.sectorSize();
    report.sectorCount = context.block.sectorCount();
    report.capacityBytes = report.sectorCount * report.sectorSize;
    report.part1StartSector = plan.layout.part1StartSector;
    report.part1SectorCount = plan.layout.part1SectorCount;
    report.part2StartSector = plan.layout.part2StartSector;
    report.part2SectorCount = plan.layout.part2SectorCount;
    report.diskSignature = plan.diskSignature;
    report.volumeLabel = plan.volumeLabel;
    report.formatPerformed = plan.formatPartition1;
    return report;
}

}  // namespace

VentoyInstallReport run(const Context& context, const Plan& plan, const VentoyBootFiles& files,
                        const VentoyReleaseManifest& manifest) {
    VentoyInstallReport report = emptyReport(context, plan, manifest);
    Runner runner(context, report);
    const VentoyLayout& layout = plan.layout;
    const std::int64_t sectorSize = context.block.sectorSize();
    if (runner.cancelled(InstallStage::writeCore)) return report;

    // core.img longer than the gap was checked to end in zeros; only what fits is written.
    const std::int64_t coreSectors =
        std::min(static_cast<std::int64_t>(files.coreImg.size()) / sectorSize, layout.coreSectorCapacity());
    const ImageTarget core{"core.img", files.coreImg, layout.coreStartSector, coreSectors, InstallStage::writeCore,
                           InstallStage::verifyCore};
    Step step = runner.write(core);
    if (step == Step::cancelled) return report;
    report.coreWriteOk = step == Step::done;
    if (!*report.coreWriteOk || !runner.flush()) return report;
    const bool coreCut = coreSectors * sectorSize < static_cast<std::int64_t>(files.coreImg.size());
    const std::string coreExpected =
        coreCut ? Sha256::hex(std::span(files.coreImg).first(static_cast<std::size_t>(coreSectors * sectorSize)))
                : manifest.checksum(VentoyAsset::coreImg).decompressedSha256();
    step = runner.verify(core, coreExpected);
    if (step == Step::cancelled) return report;
    report.coreVerifyOk = step == Step::done;
    if (!*report.coreVerifyOk || runner.cancelled(InstallStage::verifyCore)) return report;
    if (!runner.patchBlocklist(layout.coreStartSector)) return report;

    std::uint8_t part1Type = VentoyLayoutCalculator::part1TypeData;
    if (plan.formatPartition1) {
        if (runner.cancelled(InstallStage::formatPart1)) return report;
        runner.progress(InstallStage::formatPart1);
        auto formatted = VentoyDataPartition::format(context.block, layout, plan.data, context.exfatFormatter,
                                                     context.fat32Formatter);
        if (auto* failure = std::get_if<std::string>(&formatted)) {
            report.formatOk = false;
            runner.note(std::move(*failure));
            return report;
        }
        const auto& done = std::get<VentoyDataPartition::Formatted>(formatted);
        report.formatOk = true;
        report.clusterCount = done.clusterCount;
        report.clusterSizeBytes = done.clusterSizeBytes;
        part1Type = VentoyLayoutCalculator::part1Type(plan.data.filesystem);
    } else {
        part1Type = runner.currentPart1Type();
    }

    const ImageTarget ventoyDisk{"ventoy.disk.img", files.ventoyDiskImg, layout.part2StartSector,
                                 static_cast<std::int64_t>(files.ventoyDiskImg.size()) / sectorSize,
                                 InstallStage::writeVentoyDisk, InstallStage::verifyVentoyDisk};
    step = runner.write(ventoyDisk);
    if (step == Step::cancelled) return report;
    report.ventoyDiskWriteOk = step == Step::done;
    if (!*report.ventoyDiskWriteOk || !runner.flush()) return report;
    step = runner.verify(ventoyDisk, manifest.checksum(VentoyAsset::ventoyDiskImg).decompressedSha256());
    if (step == Step::cancelled) return report;
    report.ventoyDiskVerifyOk = step == Step::done;
    if (!*report.ventoyDiskVerifyOk) return report;

    // Past this point the run is no longer cancelled: the table goes down whole.
    if (runner.cancelled(InstallStage::writeMbr)) return report;
    runner.progress(InstallStage::writeMbr);
    const auto bootCode = std::span(files.bootImg).first(std::min(files.bootImg.size(), bootCodeBytes));
    if (bootCode.empty()) {
        runner.note("boot.img: could not read the boot sector");
        report.mbrWriteOk = false;
        return report;
    }
    if (plan.formatPartition1 && layout.partitionStyle == PartitionStyle::mbr && !runner.clearOldBackupGpt(layout)) {
        report.mbrWriteOk = false;
        return report;
    }
    report.mbrWriteOk = VentoyPartitionTable::writePartitionTable(context.block, layout, plan.diskSignature,
                                                                  plan.part1Name, bootCode, part1Type, report.notes);
    if (!*report.mbrWriteOk) return report;
    runner.progress(InstallStage::flush);
    if (!runner.flush()) return report;
    runner.progress(InstallStage::verifyMbr);
    report.mbrVerifyOk = VentoyPartitionTable::verifyPartitionTable(context.block, layout, plan.diskSignature,
                                                                    part1Type, report.notes);
    return report;
}

}  // namespace marlowick::VentoyWriteSequence
