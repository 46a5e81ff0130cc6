#include "Install/VentoyPartitionTable.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "Block/MemoryBlockDevice.hpp"
#include "Bytes/LittleEndian.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"
#include "Support/SparseBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::SparseBlockDevice;

constexpr std::int64_t disk32GB = 62521344;
constexpr std::int32_t signature = 0x1234'5678;

std::vector<std::uint8_t> bootCode(std::size_t size = 440) {
    std::vector<std::uint8_t> code(size);
    std::iota(code.begin(), code.end(), std::uint8_t{0x10});
    return code;
}

VentoyLayout layoutFor(std::int64_t sectors, PartitionStyle style, int sectorSize = 512) {
    const VentoyLayoutCalculator::Result result = VentoyLayoutCalculator::calculate(sectors, sectorSize, style, 0, false);
    return std::get<VentoyLayoutCalculator::Success>(result).layout;
}

const BlockError writeRefused{BlockError::DeviceFailure{"write", "lba 0: errno 5 (Input/output error)"}};

TEST(VentoyPartitionTable, ShortBootCodeWritesNothing) {
    SparseBlockDevice device(disk32GB, 512);
    std::vector<std::string> notes{"earlier line"};
    EXPECT_FALSE(VentoyPartitionTable::writePartitionTable(device, layoutFor(disk32GB, PartitionStyle::gpt), signature,
                                                           "Ventoy", bootCode(99), 0x07, notes));
    const std::vector<std::string> expected{"earlier line",
                                            "boot code too short to carry the core.img sector pointer (99 bytes)"};
    EXPECT_EQ(notes, expected);
    EXPECT_TRUE(device.writes().empty());
}

struct BuildFailureRow {
    const char* name;
    VentoyLayout layout;
    std::size_t bootCodeBytes;
    const char* note;
};

class VentoyPartitionTableBuildFailures : public ::testing::TestWithParam<BuildFailureRow> {};

TEST_P(VentoyPartitionTableBuildFailures, NoteTheRenderedErrorAndWriteNothing) {
    const BuildFailureRow& row = GetParam();
    SparseBlockDevice device(disk32GB, 512);
    std::vector<std::string> notes;
    EXPECT_FALSE(VentoyPartitionTable::writePartitionTable(device, row.layout, signature, "Ventoy",
                                                           bootCode(row.bootCodeBytes), 0x07, notes));
    const std::vector<std::string> expected{row.note};
    EXPECT_EQ(notes, expected);
    EXPECT_TRUE(device.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, VentoyPartitionTableBuildFailures,
    ::testing::Values(
        BuildFailureRow{"mbrBootCode512", layoutFor(disk32GB, PartitionStyle::mbr), 512,
                        "MBR build failed: oversizedBootCode(size: 512, max: 440)"},
        BuildFailureRow{"gptBootCode512", layoutFor(disk32GB, PartitionStyle::gpt), 512,
                        "GPT build failed: oversizedBootCode(size: 512, max: 440)"},
        BuildFailureRow{"mbrStartPast32Bits",
                        VentoyLayout{8589934592, 512, 2048, 100, 4294967296, 65536, PartitionStyle::mbr, 1}, 440,
                        "MBR build failed: startLbaOutOf32BitRange(4294967296)"},
        BuildFailureRow{"gptTinyDisk", VentoyLayout{40, 512, 2048, 1, 2049, 65536, PartitionStyle::gpt, 34}, 440,
                        "GPT build failed: diskTooSmall(sectors: 40)"}),
    test::CaseName{});

TEST(VentoyPartitionTable, MbrWriteFailureIsOneNote) {
    SparseBlockDevice device(disk32GB, 512);
    device.failWritesFrom(0, writeRefused);
    std::vector<std::string> notes;
    EXPECT_FALSE(VentoyPartitionTable::writePartitionTable(device, layoutFor(disk32GB, PartitionStyle::mbr), signature,
                                                           "Ventoy", bootCode(), 0x07, notes));
    const std::vector<std::string> expected{
        "MBR write failed: deviceFailure(operation: \"write\", detail: \"lba 0: errno 5 (Input/output error)\")"};
    EXPECT_EQ(notes, expected);
}

TEST(VentoyPartitionTable, GptWritesEveryStructureInOrder) {
    const std::int64_t n = disk32GB;
    SparseBlockDevice device(n, 512);
    std::vector<std::string> notes;
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(device, layoutFor(n, PartitionStyle::gpt), signature, "Ventoy",
                                                          bootCode(), 0x07, notes));
    EXPECT_TRUE(notes.empty());
    const std::vector<SparseBlockDevice::Write> expected{{0, 1}, {1, 1}, {2, 32}, {n - 33, 32}, {n - 1, 1}};
    EXPECT_EQ(device.writes(), expected);
}

struct GptWriteFailureRow {
    const char* name;
    std::size_t failingWrite;
    const char* notePrefix;
};

class VentoyPartitionTableGptWriteFailures : public ::testing::TestWithParam<GptWriteFailureRow> {};

TEST_P(VentoyPartitionTableGptWriteFailures, StopAndKeepEarlierSteps) {
    const GptWriteFailureRow& row = GetParam();
    SparseBlockDevice device(disk32GB, 512);
    device.failWritesFrom(row.failingWrite, writeRefused);
    std::vector<std::string> notes;
    EXPECT_FALSE(VentoyPartitionTable::writePartitionTable(device, layoutFor(disk32GB, PartitionStyle::gpt), signature,
                                                           "Ventoy", bootCode(), 0x07, notes));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], std::string(row.notePrefix) + render(writeRefused));
    EXPECT_EQ(device.writes().size(), row.failingWrite);
}

INSTANTIATE_TEST_SUITE_P(Steps, VentoyPartitionTableGptWriteFailures,
                         ::testing::Values(GptWriteFailureRow{"protectiveMbr", 0, "protective MBR write failed: "},
                                           GptWriteFailureRow{"primaryHeader", 1, "primary GPT header write failed: "},
                                           GptWriteFailureRow{"entryArray", 2, "GPT entry array write failed: "},
                                           GptWriteFailureRow{"backupArray", 3, "backup GPT entry array write failed: "},
                                           GptWriteFailureRow{"backupHeader", 4, "backup GPT header write failed: "}),
                         test::CaseName{});

class VentoyPartitionTableStyles : public ::testing::TestWithParam<PartitionStyle> {};

TEST_P(VentoyPartitionTableStyles, SameSignatureGivesSameBytesAndTheCorePointer) {
    const VentoyLayout layout = layoutFor(disk32GB, GetParam());
    SparseBlockDevice first(disk32GB, 512);
    SparseBlockDevice second(disk32GB, 512);
    std::vector<std::string> notes;
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(first, layout, signature, "Ventoy", bootCode(), 0x07, notes));
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(second, layout, signature, "Ventoy", bootCode(), 0x07, notes));
    EXPECT_EQ(first.writtenSectors(), second.writtenSectors());

    // Bytes 92..99 of sector 0 hold the core.img start; the rest of the boot code is ours.
    const std::vector<std::uint8_t>& sector0 = first.sector(0);
    const std::int64_t expectedCore = GetParam() == PartitionStyle::gpt ? 34 : 1;
    EXPECT_EQ(LittleEndian::read64(sector0, 92), static_cast<std::uint64_t>(expectedCore));
    const std::vector<std::uint8_t> code = bootCode();
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 92, sector0.begin()));
    EXPECT_TRUE(std::equal(code.begin() + 100, code.end(), sector0.begin() + 100));

    EXPECT_TRUE(VentoyPartitionTable::verifyPartitionTable(first, layout, signature, 0x07, notes));
    EXPECT_TRUE(notes.empty()) << notes.front();

    // A different signature changes the disk signature or the GUIDs.
    SparseBlockDevice third(disk32GB, 512);
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(third, layout, signature + 1, "Ventoy", bootCode(), 0x07, notes));
    EXPECT_NE(first.writtenSectors(), third.writtenSectors());
}

INSTANTIATE_TEST_SUITE_P(Both, VentoyPartitionTableStyles, ::testing::Values(PartitionStyle::mbr, PartitionStyle::gpt),
                         [](const auto& info) { return std::string(rawValue(info.param)); });

TEST(VentoyPartitionTable, MbrOnLargeSectorsFillsTheWholeSector) {
    const std::int64_t sectors = 7815168;  // 32 GB of 4096-byte sectors
    const VentoyLayout layout = layoutFor(sectors, PartitionStyle::mbr, 4096);
    SparseBlockDevice device(sectors, 4096);
    std::vector<std::string> notes;
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "Ventoy", bootCode(), 0x0C, notes));
    const std::vector<SparseBlockDevice::Write> expected{{0, 1}};
    EXPECT_EQ(device.writes(), expected);
    EXPECT_TRUE(std::all_of(device.sector(0).begin() + 512, device.sector(0).end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(VentoyPartitionTable::verifyPartitionTable(device, layout, signature, 0x0C, notes));
    EXPECT_TRUE(notes.empty());
}

struct SectorSizeRefusalRow {
    const char* name;
    PartitionStyle style;
    int sectorSize;
    const char* note;
};

class VentoyPartitionTableSectorSizes : public ::testing::TestWithParam<SectorSizeRefusalRow> {};

TEST_P(VentoyPartitionTableSectorSizes, RefuseBeforeWriting) {
    const SectorSizeRefusalRow& row = GetParam();
    const VentoyLayout layout = layoutFor(1'000'000, row.style, row.sectorSize);
    SparseBlockDevice device(1'000'000, row.sectorSize);
    std::vector<std::string> notes;
    EXPECT_FALSE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "Ventoy", bootCode(), 0x07, notes));
    const std::vector<std::string> expected{row.note};
    EXPECT_EQ(notes, expected);
    EXPECT_TRUE(device.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, VentoyPartitionTableSectorSizes,
    ::testing::Values(
        SectorSizeRefusalRow{"gpt4096", PartitionStyle::gpt, 4096,
                             "GPT layout needs 512-byte sectors, the device has 4096-byte sectors"},
        SectorSizeRefusalRow{"mbr256", PartitionStyle::mbr, 256,
                             "MBR needs sectors of at least 512 bytes, the device has 256-byte sectors"}),
    test::CaseName{});

}  // namespace
}  // namespace marlowick
