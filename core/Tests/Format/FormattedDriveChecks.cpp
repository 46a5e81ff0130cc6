#include "Format/FormattedDriveChecks.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "Exfat/DefaultExfatFormatter.hpp"
#include "Format/DriveFormatter.hpp"
#include "Support/CheckerRun.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {
namespace {

std::string padded(std::int64_t number) {
    const std::string digits = std::to_string(number);
    return std::string(12 - digits.size(), ' ') + digits;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

void formatDrive(BlockDevice& device, PartitionStyle style) {
    const DriveFormatter formatter(std::make_shared<DefaultExfatFormatter>());
    const DriveFormatResult result = formatter.format(device, DriveFilesystem::exfat, style, "MARLOWICK", std::nullopt,
                                                      checkedSignature, {}, {});
    const auto* completed = std::get_if<DriveFormatResult::Completed>(&result.value);
    ASSERT_NE(completed, nullptr) << ::testing::PrintToString(result);
    EXPECT_TRUE(completed->report.overallSuccess()) << ::testing::PrintToString(result);
}

void expectSinglePartitionTable(const std::string& path, PartitionStyle style, std::int64_t sectorCount,
                                int sectorSize) {
    const CommandOutput dump = runChecker("sfdisk -d", path, "<disk>");
    EXPECT_EQ(dump.exitCode, 0) << dump.output;
    // sfdisk names the partitions of a file <disk>1, of a loop device <disk>p1.
    const std::string part = path.rfind("/dev/", 0) == 0 ? "<disk>p1" : "<disk>1";
    if (style == PartitionStyle::mbr) {
        EXPECT_EQ(dump.output, "label: dos\n"
                               "label-id: 0xcafebafe\n"
                               "device: <disk>\n"
                               "unit: sectors\n"
                               "sector-size: " +
                                   std::to_string(sectorSize) + "\n\n" +
                                   part + " : start=" + padded(2048) + ", size=" + padded(sectorCount - 2048) +
                                   ", type=7\n");
        return;
    }
    const std::int64_t lastLba = sectorCount - 34;  // the partition's end: the backup GPT follows
    for (const std::string& line : std::vector<std::string>
         {std::string("label: gpt\n"), "first-lba: 34\n", "last-lba: " + std::to_string(lastLba) + "\n",
          part + " : start=" + padded(2048) + ", size=" + padded(lastLba - 2048 + 1) +
              ", type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid="}) {
        EXPECT_NE(dump.output.find(line), std::string::npos) << line << " in\n" << dump.output;
    }
    EXPECT_NE(dump.output.find(", name=\"MARLOWICK\"\n"), std::string::npos) << dump.output;
    // One partition and no other.
    EXPECT_EQ(std::count(dump.output.begin(), dump.output.end(), '\n'), 9) << dump.output;
    const CommandOutput verified = runChecker("sgdisk -v", path, "<disk>");
    EXPECT_EQ(verified.exitCode, 0) << verified.output;
    EXPECT_NE(verified.output.find("No problems found."), std::string::npos) << verified.output;
}

void expectGapZero(BlockDevice& device, PartitionStyle style) {
    // On GPT the primary header and entry array fill sectors 1..33.
    const std::int64_t first = style == PartitionStyle::mbr ? 1 : 34;
    const BlockReadResult gap = device.readSectors(first, 2048 - first);
    ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(gap));
    const std::vector<std::uint8_t>& bytes = std::get<BlockReadSuccess>(gap).data;
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; }));
}

void expectCleanVolume(const std::filesystem::path& volume) {
    const CommandOutput fsck = runCommand("fsck.exfat -n " + quoted(volume.string()));
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    EXPECT_NE(fsck.output.find(": clean."), std::string::npos) << fsck.output;
    const CommandOutput serial = runCommand("blkid -p -s UUID -o value " + quoted(volume.string()));
    EXPECT_EQ(serial.output, "CAFE-BAFE\n");
}

void expectOnlyDosSignature(const std::string& path) {
    const CommandOutput listed = runChecker("wipefs", path, "<disk>");
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    std::istringstream lines(listed.output);
    std::string line;
    std::getline(lines, line);  // the column heading
    int signatures = 0;
    while (std::getline(lines, line)) {
        std::istringstream columns(line);
        std::string device, offset, type;
        columns >> device >> offset >> type;
        EXPECT_EQ(type, "dos") << listed.output;
        ++signatures;
    }
    EXPECT_EQ(signatures, 1) << listed.output;
}

}  // namespace marlowick::test
