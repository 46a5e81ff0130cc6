#pragma once
// The write sequence shared by a fresh install and an update, after every check has
// passed: core.img in front of partition 1 (read back, hashed, blocklist patched and
// confirmed), partition 1 formatted (install only), ventoy.disk.img into partition 2
// (read back and hashed), then the boot code and partition table, flushed and read
// back. The boot code and table come last, so a run that stops early leaves sector 0
// as it was. Nothing is undone; the report says how far the run got.

#include <cstdint>
#include <string>

#include "Assets/VentoyReleaseManifest.hpp"
#include "Block/BlockDevice.hpp"
#include "Exfat/ExfatFormatter.hpp"
#include "Fat32/Fat32Formatter.hpp"
#include "Install/InstallCallbacks.hpp"
#include "Install/VentoyBootFiles.hpp"
#include "Install/VentoyDataPartition.hpp"
#include "Install/VentoyInstallReport.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick::VentoyWriteSequence {

struct Plan {
    VentoyLayout layout;
    std::int32_t diskSignature = 0;
    bool formatPartition1 = false;
    std::string volumeLabel;    // the run's label, as the report shows it
    std::string part1Name;      // the GPT name written for partition 1
    VentoyDataPartition::Request data;  // read only when formatPartition1
};

struct Context {
    BlockDevice& block;
    const ExfatFormatter& exfatFormatter;
    const Fat32Formatter& fat32Formatter;
    std::int64_t writeChunkSectors;
    const InstallProgressHandler& onProgress;
    const InstallCancelCheck& isCancelled;
};

// core.img must already fit in front of partition 1 (a longer file only when its tail
// is zero, which is then not written) and ventoy.disk.img in partition 2.
[[nodiscard]] VentoyInstallReport run(const Context& context, const Plan& plan, const VentoyBootFiles& files,
                                      const VentoyReleaseManifest& manifest);

}  // namespace marlowick::VentoyWriteSequence
