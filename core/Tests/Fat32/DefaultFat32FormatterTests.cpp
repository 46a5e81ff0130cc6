#include "Fat32/DefaultFat32Formatter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "Block/BlockChunkPlan.hpp"
#include "Block/BlockRequestChecks.hpp"
#include "Block/MemoryBlockDevice.hpp"
#include "Fat32/Fat32Structures.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using BlockChunkPlan::SectorChunk;
using Bytes = std::vector<std::uint8_t>;

// Any geometry without storage: records each write's place and size, fails the write
// with a chosen index, and answers flush as told.
class ScriptedDevice final : public BlockDevice {
public:
    ScriptedDevice(int sectorSize, std::int64_t sectorCount) : bytesPerSector(sectorSize), sectors(sectorCount) {}

    [[nodiscard]] int sectorSize() const override { return bytesPerSector; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectors; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t, std::int64_t) override {
        return BlockError{BlockError::DeviceFailure{"read", "not expected"}};
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector, const Bytes& data) override {
        if (auto error = BlockRequestChecks::write(false, data.size(), bytesPerSector, startSector, sectors)) {
            return *error;
        }
        const auto count = static_cast<std::int64_t>(data.size()) / bytesPerSector;
        writes.push_back({startSector, count});
        if (failAtWrite == writes.size() - 1) return BlockError{BlockError::DeviceFailure{"write", "injected"}};
        return BlockWriteSuccess{count};
    }
    [[nodiscard]] BlockFlushResult flush() override {
        ++flushes;
        return flushAnswer;
    }
    void close() override {}

    std::vector<SectorChunk> writes;
    std::optional<std::size_t> failAtWrite;
    BlockFlushResult flushAnswer = BlockFlushSuccess{};
    int flushes = 0;

private:
    int bytesPerSector;
    std::int64_t sectors;
};

struct RefusalCase {
    const char* name;
    int sectorSize;
    std::int64_t deviceSectors;
    std::int64_t offset;
    std::int64_t length;
    std::optional<std::string> label;
    std::optional<std::int64_t> sectorsPerCluster;
    std::int64_t writeChunkSectors;
    const char* rendered;
};

class DefaultFat32FormatterRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(DefaultFat32FormatterRefuses, BeforeWritingAnything) {
    const RefusalCase& c = GetParam();
    ScriptedDevice device(c.sectorSize, c.deviceSectors);
    const Fat32FormatParams params{c.offset, c.length, c.label, c.sectorsPerCluster, 0x1234};
    EXPECT_EQ(render(DefaultFat32Formatter(c.writeChunkSectors).format(device, params)), c.rendered);
    EXPECT_TRUE(device.writes.empty());
    EXPECT_EQ(device.flushes, 0);
}

constexpr std::int64_t maxInt64 = std::numeric_limits<std::int64_t>::max();
const std::string twelveDecomposed = [] {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "e\u0301";
    return text;
}();

INSTANTIATE_TEST_SUITE_P(
    Fat32, DefaultFat32FormatterRefuses,
    ::testing::Values(
        RefusalCase{"sectorSize520", 520, 200000, 0, 100000, "ABCDEFGHIJKLM", 1, 1024,
                    "invalid(error: unsupportedSectorSize(sectorSize: 520))"},
        RefusalCase{"label12", 512, 200000, 0, 100000, "abcdefghijkl", 1, 1024,
                    "invalid(error: volumeLabelTooLong(length: 12))"},
        RefusalCase{"label12Characters24Scalars", 512, 200000, 0, 100000, twelveDecomposed, 1, 1024,
                    "invalid(error: volumeLabelTooLong(length: 12))"},
        RefusalCase{"labelBeforeBounds", 512, 200000, -5, 0, "a:b:c:d:e:f:", 3, 1024,
                    "invalid(error: volumeLabelTooLong(length: 12))"},
        RefusalCase{"negativeOffset", 512, 200000, -1, 100000, std::nullopt, 1, 1024,
                    "invalid(error: volumeOutOfDeviceBounds(volumeOffsetSectors: -1, volumeLengthSectors: 100000, "
                    "deviceSectorCount: 200000))"},
        RefusalCase{"emptyVolume", 512, 200000, 0, 0, std::nullopt, 1, 1024,
                    "invalid(error: volumeOutOfDeviceBounds(volumeOffsetSectors: 0, volumeLengthSectors: 0, "
                    "deviceSectorCount: 200000))"},
        RefusalCase{"pastTheEnd", 512, 200000, 2048, 197953, std::nullopt, 1, 1024,
                    "invalid(error: volumeOutOfDeviceBounds(volumeOffsetSectors: 2048, volumeLengthSectors: 197953, "
                    "deviceSectorCount: 200000))"},
        RefusalCase{"sumPast64Bits", 512, 200000, 1, maxInt64, std::nullopt, std::nullopt, 1024,
                    "invalid(error: volumeOutOfDeviceBounds(volumeOffsetSectors: 1, volumeLengthSectors: "
                    "9223372036854775807, deviceSectorCount: 200000))"},
        RefusalCase{"clusterFactor3", 512, 200000, 0, 100000, std::nullopt, 3, 1024,
                    "invalid(error: invalidSectorsPerCluster(sectorsPerCluster: 3))"},
        RefusalCase{"clusterFactor0", 512, 200000, 0, 100000, std::nullopt, 0, 1024,
                    "invalid(error: invalidSectorsPerCluster(sectorsPerCluster: 0))"},
        RefusalCase{"cluster64KiBOf512", 512, 200000, 0, 100000, std::nullopt, 128, 1024,
                    "invalid(error: clusterTooLarge(clusterBytes: 65536))"},
        RefusalCase{"cluster64KiBOf4096", 4096, 200000, 0, 100000, std::nullopt, 16, 1024,
                    "invalid(error: clusterTooLarge(clusterBytes: 65536))"},
        RefusalCase{"tooFewClusters", 512, 200000, 0, 66581, std::nullopt, 1, 1024,
                    "invalid(error: volumeTooSmall(volumeSectors: 66581, minimum: 66599))"},
        RefusalCase{"tooFewClustersChosenSize", 512, 200000, 2048, 66598, "x", std::nullopt, 1024,
                    "invalid(error: volumeTooSmall(volumeSectors: 66598, minimum: 66599))"},
        RefusalCase{"tooManyClusters", 4096, 4294967295, 0, 4294967295, std::nullopt, 8, 1024,
                    "invalid(error: volumeTooLarge(reason: \"536739835 clusters exceeds FAT32's maximum 268435445 "
                    "\u2014 choose a larger cluster size\"))"},
        RefusalCase{"past32BitSectorCount", 512, std::int64_t{1} << 33, 2048, 4294967296, std::nullopt, std::nullopt,
                    1024,
                    "invalid(error: volumeTooLarge(reason: \"volume spans 4294967296 sectors, past the 32-bit "
                    "BPB_TotSec32 limit (4294967295)\"))"},
        RefusalCase{"zeroChunk", 512, 200000, 0, 100000, std::nullopt, 1, 0,
                    "invalid(error: unexpected(reason: \"writeChunkSectors must be at least 1, was 0\"))"}),
    test::CaseName{});

// 1000000 sectors of 512 bytes, 8 per cluster, at 2048: reserved 38, FATs of 977, data at 1992.
constexpr std::int64_t exampleOffset = 2048;
const Fat32FormatParams exampleParams{exampleOffset, 1000000, "Example", 8, 0xDEADBEEF};

TEST(DefaultFat32Formatter, WritesInOrderAndZeroFillsEachFatInChunks) {
    ScriptedDevice device(512, exampleOffset + 1000000);
    const Fat32FormatResult result = DefaultFat32Formatter(300).format(device, exampleParams);
    ASSERT_TRUE(std::holds_alternative<Fat32FormatResult::Success>(result.value)) << render(result);
    EXPECT_EQ(std::get<Fat32FormatResult::Success>(result.value).layout.clusterCount, 124751);
    const std::vector<SectorChunk> expected{
        {2048, 38},                                                // reserved region in one write
        {2086, 1},  {2087, 300}, {2387, 300}, {2687, 300}, {2987, 76},  // FAT #1
        {3063, 1},  {3064, 300}, {3364, 300}, {3664, 300}, {3964, 76},  // FAT #2
        {4040, 8},                                                 // root directory cluster
    };
    EXPECT_EQ(device.writes, expected);
    EXPECT_EQ(device.flushes, 1);
}

TEST(DefaultFat32Formatter, StopsAtTheFirstFailedWriteAndNamesIt) {
    struct Row {
        std::size_t failAtWrite;
        const char* stage;
    };
    const Row rows[] = {
        {0, "reserved region"},          {1, "FAT #1"}, {3, "FAT #1 zero fill @ 2387"},
        {6, "FAT #2"},                   {10, "FAT #2 zero fill @ 3964"}, {11, "root directory"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stage);
        ScriptedDevice device(512, exampleOffset + 1000000);
        device.failAtWrite = row.failAtWrite;
        const Fat32FormatResult result = DefaultFat32Formatter(300).format(device, exampleParams);
        const Fat32FormatResult expected{
            Fat32FormatResult::WriteFailed{row.stage, BlockError{BlockError::DeviceFailure{"write", "injected"}}}};
        EXPECT_EQ(result, expected);
        EXPECT_EQ(device.writes.size(), row.failAtWrite + 1);
        EXPECT_EQ(device.flushes, 0);
    }
}

TEST(DefaultFat32Formatter, FailsOnAFailedFlushButNotOnAnUnconfirmedOne) {
    ScriptedDevice failing(512, exampleOffset + 1000000);
    failing.flushAnswer = BlockError{BlockError::Closed{"flush"}};
    EXPECT_EQ(render(DefaultFat32Formatter(1024).format(failing, exampleParams)),
              "writeFailed(stage: \"flush\", error: closed(operation: \"flush\"))");

    ScriptedDevice unconfirmed(512, exampleOffset + 1000000);
    unconfirmed.flushAnswer = BlockFlushNotHonoured{"cache flush not supported"};
    const Fat32FormatResult result = DefaultFat32Formatter(1024).format(unconfirmed, exampleParams);
    EXPECT_TRUE(std::holds_alternative<Fat32FormatResult::Success>(result.value)) << render(result);
}

Bytes sectors(const MemoryBlockDevice& device, std::int64_t first, std::int64_t count) {
    const auto begin = device.bytes().begin() + first * device.sectorSize();
    return {begin, begin + count * device.sectorSize()};
}

// Over a medium full of old bytes: the volume's metadata is rewritten in full, the FATs
// are zero past their first sector, and nothing outside the metadata is touched.
TEST(DefaultFat32Formatter, RewritesTheMetadataAndLeavesDataClustersAndNeighboursAlone) {
    constexpr std::int64_t offset = 64;
    constexpr std::int64_t length = 66599;  // the smallest volume at 512-byte sectors, one sector per cluster
    MemoryBlockDevice device(offset + length + 16, 512);
    std::fill(device.mutableBytes().begin(), device.mutableBytes().end(), 0xA5);
    const Fat32FormatParams params{offset, length, "Docs", std::nullopt, 0x0BADCAFE};
    const Fat32FormatResult result = DefaultFat32Formatter(DefaultFat32Formatter::defaultWriteChunkSectors).format(device, params);
    ASSERT_TRUE(std::holds_alternative<Fat32FormatResult::Success>(result.value)) << render(result);
    const Fat32Layout layout = std::get<Fat32FormatResult::Success>(result.value).layout;
    ASSERT_EQ(layout.sectorsPerCluster, 1);
    EXPECT_EQ(device.flushCount(), 1);

    const Bytes old(512, 0xA5);
    const Bytes zero(512, 0);
    EXPECT_EQ(sectors(device, offset - 1, 1), old);
    EXPECT_EQ(sectors(device, offset + length, 1), old);
    const Bytes boot = Fat32Structures::buildBootSector(layout, 0x0BADCAFE, "Docs");
    const Bytes fsInfo = Fat32Structures::buildFsInfoSector(layout);
    for (std::int64_t s = 0; s < layout.reservedSectorCount; ++s) {
        const Bytes& expected = (s == 0 || s == 6) ? boot : (s == 1 || s == 7) ? fsInfo : zero;
        EXPECT_EQ(sectors(device, offset + s, 1), expected) << "reserved sector " << s;
    }
    for (int fat = 0; fat < 2; ++fat) {
        const std::int64_t start = offset + layout.fatStartSector(fat);
        EXPECT_EQ(sectors(device, start, 1), Fat32Structures::buildFatHeadSector(layout)) << "FAT " << fat;
        const Bytes rest = sectors(device, start + 1, layout.fatLengthSectors - 1);
        EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b == 0; })) << "FAT " << fat;
    }
    EXPECT_EQ(sectors(device, offset + layout.clusterToVolumeSector(2), 1),
              Fat32Structures::buildRootDirectoryCluster(layout, "Docs"));
    EXPECT_EQ(sectors(device, offset + layout.clusterToVolumeSector(3), 1), old);  // a quick format
    EXPECT_EQ(Fat32Structures::readVolumeLabelIfFat32(boot), "DOCS");
}

TEST(DefaultFat32Formatter, AcceptsElevenCharactersHoweverManyBytesTheyTake) {
    struct Row {
        std::string label;
        const char* bootLabel;
    };
    std::string elevenDecomposed;
    for (int i = 0; i < 11; ++i) elevenDecomposed += "e\u0301";
    const Row rows[] = {
        {elevenDecomposed, "___________"},
        {"\u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df", "SSSSSSSSSSS"},
        {"\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", "___________"},
    };
    for (const Row& row : rows) {
        ScriptedDevice device(512, exampleOffset + 1000000);
        const Fat32FormatParams params{exampleOffset, 1000000, row.label, 8, 1};
        const Fat32FormatResult result = DefaultFat32Formatter(1024).format(device, params);
        EXPECT_TRUE(std::holds_alternative<Fat32FormatResult::Success>(result.value)) << render(result);
        const auto encoded = Fat32Structures::encodeVolumeLabel(row.label);
        EXPECT_EQ(std::string(encoded.begin(), encoded.end()), row.bootLabel);
    }
}

}  // namespace
}  // namespace marlowick
