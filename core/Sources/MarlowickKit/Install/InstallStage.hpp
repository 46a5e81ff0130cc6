#pragma once
// The stages a Ventoy install or update reports, in declaration order. The order in
// which they occur in time is the installer's; for a GPT drive writeMbr and verifyMbr
// stand for writing and checking the whole GPT.

#include <array>
#include <ostream>
#include <string_view>

namespace marlowick {

enum class InstallStage {
    layout,            // the layout is computed or the drive classified; nothing written yet
    writeMbr,          // boot code and partition table
    verifyMbr,         // the partition table read back
    writeCore,         // core.img in front of partition 1
    verifyCore,        // core.img read back and hashed, its blocklist patched and confirmed
    formatPart1,       // the data partition (fresh install only)
    writeVentoyDisk,   // ventoy.disk.img into partition 2
    verifyVentoyDisk,  // ventoy.disk.img read back and hashed
    flush,             // the final cache flush
};

inline constexpr std::array<InstallStage, 9> allInstallStages{
    InstallStage::layout,          InstallStage::writeMbr,         InstallStage::verifyMbr,
    InstallStage::writeCore,       InstallStage::verifyCore,       InstallStage::formatPart1,
    InstallStage::writeVentoyDisk, InstallStage::verifyVentoyDisk, InstallStage::flush};

// The case name: "layout", "writeMbr", …, "flush".
[[nodiscard]] std::string_view rawValue(InstallStage stage);
void PrintTo(InstallStage stage, std::ostream* os);

}  // namespace marlowick
