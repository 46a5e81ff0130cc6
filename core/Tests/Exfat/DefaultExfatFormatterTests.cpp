#include "Exfat/DefaultExfatFormatter.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "Block/BlockChunkPlan.hpp"
#include "Block/MemoryBlockDevice.hpp"
#include "Exfat/ExfatStructures.hpp"
#include "Support/SparseFileBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

// Passes everything to an inner device and records the writes; a write that reaches
// `failAtSector` fails with a device error, and `flushAnswer` replaces the inner flush.
class FaultyBlockDevice final : public BlockDevice {
public:
    explicit FaultyBlockDevice(BlockDevice& inner) : inner(inner) {}

    [[nodiscard]] int sectorSize() const override { return inner.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return inner.sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t start, std::int64_t count) override {
        ++reads;
        return inner.readSectors(start, count);
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t start, const std::vector<std::uint8_t>& data) override {
        const auto count = static_cast<std::int64_t>(data.size()) / inner.sectorSize();
        if (failAtSector && start <= *failAtSector && *failAtSector < start + count) return failure;
        writes.push_back({start, count});
        return inner.writeSectors(start, data);
    }
    [[nodiscard]] BlockFlushResult flush() override {
        ++flushes;
        return flushAnswer ? *flushAnswer : inner.flush();
    }
    void close() override { ++closes; }

    BlockDevice& inner;
    std::optional<std::int64_t> failAtSector;
    std::optional<BlockFlushResult> flushAnswer;
    BlockError failure{BlockError::DeviceFailure{"write", "errno 5 (Input/output error)"}};
    std::vector<BlockChunkPlan::SectorChunk> writes;
    int reads = 0;
    int flushes = 0;
    int closes = 0;
};

ExfatFormatParams paramsFor(std::int64_t offset, std::int64_t length, std::optional<std::string> label = std::nullopt,
                            std::optional<std::int64_t> sectorsPerCluster = std::nullopt) {
    return ExfatFormatParams{offset, length, std::move(label), sectorsPerCluster, 0x0BADCAFE};
}

ExfatLayout layoutOf(const ExfatFormatResult& result) {
    const auto* success = std::get_if<ExfatFormatResult::Success>(&result.value);
    if (success == nullptr) {
        ADD_FAILURE() << "not formatted: " << render(result);
        return {};
    }
    return success->layout;
}

struct RefusalCase {
    const char* name;
    int sectorSize;
    std::int64_t deviceSectors;
    ExfatFormatParams params;
    const char* error;
};

class DefaultExfatFormatterRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(DefaultExfatFormatterRefuses, BeforeTouchingTheDevice) {
    const RefusalCase& c = GetParam();
    test::TempDir dir;
    auto sparseOwner = test::SparseFileBlockDevice::create(dir.file("disk.img"), c.sectorSize, c.deviceSectors);
    auto& sparse = *sparseOwner;
    FaultyBlockDevice device(sparse);
    const ExfatFormatResult result = DefaultExfatFormatter().format(device, c.params);
    const auto* invalid = std::get_if<ExfatFormatResult::Invalid>(&result.value);
    ASSERT_NE(invalid, nullptr) << render(result);
    EXPECT_EQ(render(invalid->error), c.error);
    EXPECT_TRUE(device.writes.empty());
    EXPECT_EQ(device.flushes, 0);
    EXPECT_EQ(device.reads, 0);
    EXPECT_EQ(device.closes, 0);
}

constexpr std::int64_t fourTiBSectors = std::int64_t{1} << 33;
const std::string twelve = "ABCDEFGHIJKL";

INSTANTIATE_TEST_SUITE_P(
    Format, DefaultExfatFormatterRefuses,
    ::testing::Values(
        RefusalCase{"sectors520BeforeLabel", 520, 4096, paramsFor(0, 4096, twelve),
                    "unsupportedSectorSize(sectorSize: 520)"},
        RefusalCase{"sectors8192", 8192, 4096, paramsFor(0, 4096), "unsupportedSectorSize(sectorSize: 8192)"},
        RefusalCase{"labelTwelveBeforeBounds", 512, 4096, paramsFor(-1, 0, twelve),
                    "volumeLabelTooLong(length: 12)"},
        RefusalCase{"negativeOffset", 512, 4096, paramsFor(-1, 100),
                    "volumeOutOfDeviceBounds(volumeOffsetSectors: -1, volumeLengthSectors: 100, deviceSectorCount: 4096)"},
        RefusalCase{"emptyVolume", 512, 4096, paramsFor(0, 0),
                    "volumeOutOfDeviceBounds(volumeOffsetSectors: 0, volumeLengthSectors: 0, deviceSectorCount: 4096)"},
        RefusalCase{"oneSectorPastTheEnd", 512, 4096, paramsFor(2048, 2049),
                    "volumeOutOfDeviceBounds(volumeOffsetSectors: 2048, volumeLengthSectors: 2049, deviceSectorCount: 4096)"},
        RefusalCase{"lengthThatWouldOverflow", 512, 4096, paramsFor(2048, INT64_MAX),
                    "volumeOutOfDeviceBounds(volumeOffsetSectors: 2048, volumeLengthSectors: 9223372036854775807, "
                    "deviceSectorCount: 4096)"},
        RefusalCase{"zeroSectorsPerCluster", 512, 4096, paramsFor(0, 4096, std::nullopt, 0),
                    "invalidSectorsPerCluster(sectorsPerCluster: 0)"},
        RefusalCase{"negativeSectorsPerCluster", 512, 4096, paramsFor(0, 4096, std::nullopt, -8),
                    "invalidSectorsPerCluster(sectorsPerCluster: -8)"},
        RefusalCase{"threeSectorsPerCluster", 512, 4096, paramsFor(0, 4096, std::nullopt, 3),
                    "invalidSectorsPerCluster(sectorsPerCluster: 3)"},
        RefusalCase{"twelveSectorsPerCluster", 512, 4096, paramsFor(0, 4096, std::nullopt, 12),
                    "invalidSectorsPerCluster(sectorsPerCluster: 12)"},
        RefusalCase{"clusterOf64MiB", 512, 4096, paramsFor(0, 4096, std::nullopt, 131072),
                    "clusterTooLarge(clusterBytes: 67108864)"},
        RefusalCase{"clusterBeyond64Bits", 4096, 4096, paramsFor(0, 4096, std::nullopt, std::int64_t{1} << 62),
                    "clusterTooLarge(clusterBytes: 9223372036854775807)"},
        RefusalCase{"volumeTooSmall", 512, 4096, paramsFor(100, 40, std::nullopt, 8),
                    "volumeTooSmall(volumeSectors: 40, minimum: 64)"},
        RefusalCase{"fourTiBDefaultClusters", 512, fourTiBSectors, paramsFor(0, fourTiBSectors),
                    "geometryTooLargeToFormat(reason: \"FAT 134218240B / bitmap 4194176B exceeds the formatter's "
                    "in-memory cap (67108864B) \u2014 choose a larger cluster size\")"},
        RefusalCase{"oneSectorPastTheLargestDefault", 512, 4294967064, paramsFor(0, 4294967064),
                    "geometryTooLargeToFormat(reason: \"FAT 67109376B / bitmap 2097088B exceeds the formatter's "
                    "in-memory cap (67108864B) \u2014 choose a larger cluster size\")"},
        RefusalCase{"fourTiB256KiBClusters", 512, fourTiBSectors, paramsFor(0, fourTiBSectors, std::nullopt, 512),
                    "geometryTooLargeToFormat(reason: \"FAT 67109376B / bitmap 2097120B exceeds the formatter's "
                    "in-memory cap (67108864B) \u2014 choose a larger cluster size\")"}),
    test::CaseName{});

TEST(DefaultExfatFormatter, WritesTheBootRegionsFatAndSystemObjectsThenFlushes) {
    MemoryBlockDevice memory(4096, 512);
    FaultyBlockDevice device(memory);
    const ExfatLayout layout = layoutOf(DefaultExfatFormatter().format(device, paramsFor(2048, 2048, "ABCDEFGHIJK")));
    ASSERT_EQ(layout.partitionOffsetSectors, 2048);
    const std::int64_t heap = 2048 + layout.clusterHeapOffsetSectors;
    const std::vector<BlockChunkPlan::SectorChunk> expected{
        {2048, 12}, {2060, 12}, {2072, layout.fatLengthSectors}, {heap, 1},
        {heap + 8, 16}, {heap + 24, 8}};
    EXPECT_EQ(device.writes, expected);
    EXPECT_EQ(device.flushes, 1);
    EXPECT_EQ(device.reads, 0);
    EXPECT_EQ(device.closes, 0);

    const auto& bytes = memory.bytes();
    const auto at = [&](std::int64_t sector) { return bytes.begin() + sector * 512; };
    EXPECT_TRUE(std::all_of(bytes.begin(), at(2048), [](std::uint8_t b) { return b == 0; }));
    const int percentInUse = static_cast<int>(layout.allocatedClusterCount() * 100 / layout.clusterCount);
    const auto region = ExfatStructures::buildBootRegion(layout, 0x0BADCAFE, percentInUse);
    EXPECT_TRUE(std::equal(region.begin(), region.end(), at(2048)));
    EXPECT_TRUE(std::equal(region.begin(), region.end(), at(2060)));
    EXPECT_EQ(bytes[(heap + 24) * 512 + 65], 11);  // label character count in the root directory
}

TEST(DefaultExfatFormatter, PercentInUseCountsTheSystemClusters) {
    struct Row { std::int64_t sectors; std::int64_t clusterCount; int percent; };
    // Every cluster of the smallest volume is in use; 3 of 262111 round down to 0.
    const Row rows[] = {{64, 4, 100}, {1000, 121, 3}, {16777216, 262111, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sectors);
        test::TempDir dir;
        auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("disk.img"), 512, row.sectors);
        auto& device = *deviceOwner;
        EXPECT_EQ(layoutOf(DefaultExfatFormatter().format(device, paramsFor(0, row.sectors))).clusterCount,
                  row.clusterCount);
        const auto boot = std::get<BlockReadSuccess>(device.readSectors(0, 1)).data;
        EXPECT_EQ(boot[ExfatStructures::BootSector::percentInUseOffset], row.percent);
    }
}

TEST(DefaultExfatFormatter, StopsAtTheFirstFailedWriteAndNamesItsStage) {
    struct Row { const char* stage; std::int64_t failingVolumeSector; };
    // 8 MiB on 512-byte sectors, 4 KiB clusters: FAT at 24, heap at 40, root cluster 5.
    const Row rows[] = {{"main boot region", 0}, {"backup boot region", 23}, {"FAT", 24},
                        {"allocation bitmap", 40}, {"up-case table", 55}, {"root directory", 64}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stage);
        MemoryBlockDevice memory(1 + 16384, 512);
        FaultyBlockDevice device(memory);
        device.failAtSector = 1 + row.failingVolumeSector;
        const ExfatFormatResult result = DefaultExfatFormatter().format(device, paramsFor(1, 16384));
        const ExfatFormatResult expected{ExfatFormatResult::WriteFailed{row.stage, device.failure}};
        EXPECT_EQ(result, expected);
        EXPECT_EQ(device.flushes, 0);
        for (const auto& write : device.writes) EXPECT_LT(write.startSector, *device.failAtSector);
    }
}

TEST(DefaultExfatFormatter, LeavesBothBootRegionsWhenTheFatWriteFails) {
    MemoryBlockDevice memory(16384, 512);
    FaultyBlockDevice device(memory);
    device.failAtSector = 24;
    (void)DefaultExfatFormatter().format(device, paramsFor(0, 16384));
    const auto& bytes = memory.bytes();
    EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 11), "EXFAT   ");
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 12 * 512, bytes.begin() + 12 * 512));
    EXPECT_TRUE(std::all_of(bytes.begin() + 24 * 512, bytes.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(DefaultExfatFormatter, FlushOutcomes) {
    const BlockError closed{BlockError::Closed{"flush"}};
    MemoryBlockDevice memory(16384, 512);
    FaultyBlockDevice device(memory);
    device.flushAnswer = BlockFlushNotHonoured{"cache flush not supported"};
    EXPECT_EQ(layoutOf(DefaultExfatFormatter().format(device, paramsFor(0, 16384))).clusterCount, 2043);

    device.flushAnswer = closed;
    const ExfatFormatResult expected{ExfatFormatResult::WriteFailed{"flush", closed}};
    EXPECT_EQ(DefaultExfatFormatter().format(device, paramsFor(0, 16384)), expected);
}

TEST(DefaultExfatFormatter, WritesInChunksOfAtMostTheChunkSize) {
    test::TempDir dir;
    // 8 GiB with 32 KiB clusters: a FAT of about 1 MiB, written in two chunks.
    auto sparseOwner = test::SparseFileBlockDevice::create(dir.file("disk.img"), 512, 16777216);
    FaultyBlockDevice device(*sparseOwner);
    const ExfatLayout layout = layoutOf(DefaultExfatFormatter().format(device, paramsFor(0, 16777216)));
    // Main and backup boot regions, two FAT chunks, bitmap, up-case table, root directory.
    ASSERT_EQ(device.writes.size(), 7u);
    std::int64_t fatSectors = 0;
    for (const auto& write : device.writes) {
        EXPECT_LE(write.sectorCount * 512, DefaultExfatFormatter::writeChunkBytes);
        if (write.startSector >= layout.fatOffsetSectors &&
            write.startSector < layout.fatOffsetSectors + layout.fatLengthSectors) {
            fatSectors += write.sectorCount;
        }
    }
    EXPECT_EQ(fatSectors, layout.fatLengthSectors);
    EXPECT_EQ(device.flushes, 1);
}

TEST(DefaultExfatFormatter, RendersItsResults) {
    const ExfatFormatResult failed{ExfatFormatResult::WriteFailed{"FAT", BlockError{BlockError::Closed{"write"}}}};
    EXPECT_EQ(render(failed), "writeFailed(stage: \"FAT\", error: closed(operation: \"write\"))");
    const ExfatFormatResult invalid{ExfatFormatResult::Invalid{{ExfatFormatError::Unexpected{"x"}}}};
    EXPECT_EQ(render(invalid), "invalid(error: unexpected(reason: \"x\"))");
}

TEST(ExfatFormatParams, TimeDerivedSerialIsTheClockInMilliseconds) {
    const auto before = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    const std::uint32_t serial = ExfatFormatParams::timeDerivedSerial();
    const auto after = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch()).count();
    bool matches = false;
    for (auto seconds = before; seconds <= after; ++seconds) {
        matches |= serial == static_cast<std::uint32_t>(static_cast<std::int64_t>(seconds) * 1000);
    }
    EXPECT_TRUE(matches) << serial;
}

}  // namespace
}  // namespace marlowick
