#include "Detect/VentoyVersionReader.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Block/MemoryBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using VentoyVersionReader::extractVersion;
using VentoyVersionReader::read;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// A small drive whose partition 2 spans sectors [start, start + count).
VentoyLayout layoutWithPart2(std::int64_t diskSectors, std::int64_t start, std::int64_t count) {
    return VentoyLayout{diskSectors, 512, 8, start - 8, start, count, PartitionStyle::mbr, VentoyLayout::mbrCoreStart};
}

void place(MemoryBlockDevice& device, std::int64_t byteOffset, std::string_view text) {
    std::copy(text.begin(), text.end(), device.mutableBytes().begin() + byteOffset);
}

VentoyVersionResult found(const char* version) { return {VentoyVersionResult::Found{version}}; }
const VentoyVersionResult notFound{VentoyVersionResult::NotFound{}};

struct ExtractCase {
    const char* name;
    std::string bytes;
    std::optional<std::string> version;
};

const ExtractCase extractCases[] = {
    {"bareThenNewline", "VENTOY_VERSION=1.1.10\n", "1.1.10"},
    {"quoted", "x=1 VENTOY_VERSION=\"1.1.10\"\n", "1.1.10"},
    {"quotedNeedsNoByteAfterTheQuoteButTheQuote", "VENTOY_VERSION=\"1.1.10\"", "1.1.10"},
    {"endsAtLastByte", "VENTOY_VERSION=1.1.10", std::nullopt},
    {"markerAtEnd", "VENTOY_VERSION=", std::nullopt},
    {"quoteAtEnd", "VENTOY_VERSION=\"", std::nullopt},
    {"noDotThenValid", "VENTOY_VERSION=1\nVENTOY_VERSION=1.1.9\n", "1.1.9"},
    {"letterInsideQuotes", "VENTOY_VERSION=\"1.1a\"\n", std::nullopt},
    {"letterInsideQuotesThenValid", "VENTOY_VERSION=\"1.1a\" VENTOY_VERSION=1.2 ", "1.2"},
    {"bareStopsAtLetter", "VENTOY_VERSION=1.1.10-beta\n", "1.1.10"},
    {"unterminatedQuoteStopsAtNewline", "VENTOY_VERSION=\"1.1.10\n\"", std::nullopt},
    {"emptyPart", "VENTOY_VERSION=1..2\n", std::nullopt},
    {"leadingDot", "VENTOY_VERSION=.1\n", std::nullopt},
    {"trailingDot", "VENTOY_VERSION=1.\n", std::nullopt},
    {"emptyQuotes", "VENTOY_VERSION=\"\"\n", std::nullopt},
    {"markerInsideMarker", "VENTOY_VERSION=VENTOY_VERSION=1.1.17;", "1.1.17"},
    {"twentyCharsCutToSeventeen", "VENTOY_VERSION=1.234567890123456789\n", "1.234567890123456"},
    {"quotedTwentyCharsCutToSeventeen", "VENTOY_VERSION=\"1.234567890123456789\"", "1.234567890123456"},
    {"seventeenNoDot", "VENTOY_VERSION=12345678901234567.8\n", std::nullopt},
    {"caseMatters", "ventoy_version=1.1.10\n", std::nullopt},
    {"nothing", "", std::nullopt},
};

class VentoyVersionExtract : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(VentoyVersionExtract, TakesTheFirstValidVersion) {
    const ExtractCase& c = GetParam();
    EXPECT_EQ(extractVersion(bytesOf(c.bytes)), c.version);
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyVersionExtract, ::testing::ValuesIn(extractCases), test::CaseName{});

// Whatever the byte offset of the marker relative to a chunk boundary, the carry
// brings the whole match into one buffer: every text below is at most the match window.
TEST(VentoyVersionReader, FindsAMarkerCutByAChunkBoundary) {
    const std::pair<const char*, const char*> texts[] = {
        {"VENTOY_VERSION=1.1.10\n", "1.1.10"},
        {"VENTOY_VERSION=\"1.1.10\"", "1.1.10"},
        {"VENTOY_VERSION=1.2345678901234567\n", "1.234567890123456"},  // the full 33-byte window
        {"VENTOY_VERSION=\"1.23456789012345\"", "1.23456789012345"},
    };
    for (const std::int64_t chunkSectors : {1, 3}) {
        const std::int64_t boundary = chunkSectors * 512;  // first chunk boundary inside partition 2
        for (const auto& [text, version] : texts) {
            const auto length = static_cast<std::int64_t>(std::string_view(text).size());
            for (std::int64_t start = boundary - length - 1; start <= boundary + 1; ++start) {
                SCOPED_TRACE(std::string(text) + " at byte " + std::to_string(start) + ", chunk " +
                             std::to_string(chunkSectors));
                MemoryBlockDevice device(64, 512);
                const VentoyLayout layout = layoutWithPart2(64, 16, 40);
                place(device, 16 * 512 + start, text);
                EXPECT_EQ(read(device, layout, chunkSectors), found(version));
            }
        }
    }
}

TEST(VentoyVersionReader, ScansOnlyPartitionTwo) {
    const VentoyLayout layout = layoutWithPart2(64, 16, 40);
    const std::int64_t part2Begin = 16 * 512;
    const std::int64_t part2End = 56 * 512;
    const struct {
        const char* name;
        std::int64_t offset;
        const char* text;
        VentoyVersionResult expected;
    } rows[] = {
        {"beforePartition", part2Begin - 30, "VENTOY_VERSION=1.1.10\n", notFound},
        {"straddlesTheStart", part2Begin - 5, "VENTOY_VERSION=1.1.10\n", notFound},
        // The byte after the version lies past the partition, so it is never read.
        {"endsAtTheLastByte", part2End - 21, "VENTOY_VERSION=1.1.10\n", notFound},
        {"oneByteEarlier", part2End - 22, "VENTOY_VERSION=1.1.10\n", found("1.1.10")},
        {"firstBytes", part2Begin, "VENTOY_VERSION=1.1.10\n", found("1.1.10")},
        {"afterPartition", part2End, "VENTOY_VERSION=1.1.10\n", notFound},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryBlockDevice device(64, 512);
        place(device, row.offset, row.text);
        EXPECT_EQ(read(device, layout, 7), row.expected);
        EXPECT_EQ(read(device, layout, 256), row.expected);
    }
}

TEST(VentoyVersionReader, SkipsInvalidVersionsAndFindsALaterValidOne) {
    MemoryBlockDevice device(64, 512);
    const VentoyLayout layout = layoutWithPart2(64, 16, 40);
    place(device, 16 * 512 + 100, "VENTOY_VERSION=1\n VENTOY_VERSION=\"1.x\" VENTOY_VERSION=1..2\n");
    place(device, 40 * 512 + 7, "VENTOY_VERSION=1.1.10\n");
    EXPECT_EQ(read(device, layout, 4), found("1.1.10"));
}

// Fails every read that reaches `failFrom` and records the reads it was asked for.
class FailingBlockDevice final : public BlockDevice {
public:
    FailingBlockDevice(MemoryBlockDevice& inner, std::int64_t failFrom) : inner(inner), failFrom(failFrom) {}
    [[nodiscard]] int sectorSize() const override { return inner.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return inner.sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override {
        reads.emplace_back(startSector, sectorCount);
        if (startSector + sectorCount > failFrom) return failure;
        return inner.readSectors(startSector, sectorCount);
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t, const std::vector<std::uint8_t>&) override {
        ADD_FAILURE() << "the reader wrote";
        return failure;
    }
    [[nodiscard]] BlockFlushResult flush() override {
        ADD_FAILURE() << "the reader flushed";
        return failure;
    }
    void close() override { ADD_FAILURE() << "the reader closed the device"; }

    const BlockError failure{BlockError::DeviceFailure{"read", "errno 5 (Input/output error)"}};
    std::vector<std::pair<std::int64_t, std::int64_t>> reads;

private:
    MemoryBlockDevice& inner;
    std::int64_t failFrom;
};

TEST(VentoyVersionReader, ReportsAFailedReadUnchangedAndStops) {
    MemoryBlockDevice memory(64, 512);
    const VentoyLayout layout = layoutWithPart2(64, 16, 40);
    place(memory, 50 * 512, "VENTOY_VERSION=1.1.10\n");  // behind the failing sectors
    FailingBlockDevice device(memory, 30);
    const VentoyVersionResult expected{VentoyVersionResult::ReadFailed{device.failure}};
    EXPECT_EQ(read(device, layout, 8), expected);
    const std::vector<std::pair<std::int64_t, std::int64_t>> reads{{16, 8}, {24, 8}};
    EXPECT_EQ(device.reads, reads);
    EXPECT_EQ(render(read(device, layout, 8)),
              "readFailed(error: deviceFailure(operation: \"read\", detail: \"errno 5 (Input/output error)\"))");
}

TEST(VentoyVersionReader, ReadsTheWholePartitionInChunksWhenNothingIsThere) {
    MemoryBlockDevice memory(64, 512);
    FailingBlockDevice device(memory, 64);
    EXPECT_EQ(read(device, layoutWithPart2(64, 16, 40), 16), notFound);
    const std::vector<std::pair<std::int64_t, std::int64_t>> reads{{16, 16}, {32, 16}, {48, 8}};
    EXPECT_EQ(device.reads, reads);
}

TEST(VentoyVersionReader, EmptyPartitionAndZeroChunkReadNothing) {
    MemoryBlockDevice memory(64, 512);
    place(memory, 16 * 512, "VENTOY_VERSION=1.1.10\n");
    FailingBlockDevice device(memory, 0);
    EXPECT_EQ(read(device, layoutWithPart2(64, 16, 0), 256), notFound);
    EXPECT_EQ(read(device, layoutWithPart2(64, 16, -4), 256), notFound);
    const VentoyVersionResult zeroChunk{VentoyVersionResult::ReadFailed{BlockError{BlockError::InvalidSectorCount{0}}}};
    EXPECT_EQ(read(device, layoutWithPart2(64, 16, 40), 0), zeroChunk);
    EXPECT_TRUE(device.reads.empty());
}

TEST(VentoyVersionReader, PartitionPastTheDeviceIsAReadFailure) {
    MemoryBlockDevice device(64, 512);
    const BlockError outOfBounds{BlockError::OutOfBounds{48, 32, 64}};
    const VentoyVersionResult expected{VentoyVersionResult::ReadFailed{outOfBounds}};
    EXPECT_EQ(read(device, layoutWithPart2(80, 16, 64), 32), expected);
}

struct UpdateCase {
    const char* name;
    std::optional<std::string> installed;
    const char* pinned;
    std::optional<bool> update;
};

const UpdateCase updateCases[] = {
    {"minorBeatsLongPatch", "1.0.99", "1.1.0", true},
    {"numericNotTextual", "1.1.10", "1.1.9", false},
    {"olderPatch", "1.1.9", "1.1.10", true},
    {"equal", "1.1.10", "1.1.10", false},
    {"newerInstalled", "1.2", "1.1.10", false},
    {"missingPartIsZero", "1.0", "1.0.0", false},
    {"shorterAndOlder", "1", "1.0.1", true},
    {"leadingZeros", "1.01.010", "1.1.10", false},
    {"nothingInstalled", std::nullopt, "1.1.10", std::nullopt},
    {"letterInInstalled", "1.1.x", "1.1.10", std::nullopt},
    {"emptyInstalled", "", "1.1.10", std::nullopt},
    {"emptyPart", "1..2", "1.1.10", std::nullopt},
    {"signedPart", "1.+1", "1.1.10", std::nullopt},
    {"negativePart", "1.-1", "1.1.10", std::nullopt},
    {"spaceAround", " 1.1.9", "1.1.10", std::nullopt},
    {"partPast64Bits", "1.99999999999999999999", "1.1.10", std::nullopt},
    {"largestPart", "1.9223372036854775807", "2.0", true},
    {"malformedPinned", "1.1.9", "v1.1.10", std::nullopt},
};

class VentoyVersionUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(VentoyVersionUpdate, ComparesNumericParts) {
    const UpdateCase& c = GetParam();
    EXPECT_EQ(VentoyVersionReader::updateAvailable(c.installed, c.pinned), c.update);
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyVersionUpdate, ::testing::ValuesIn(updateCases), test::CaseName{});

TEST(VentoyVersionReader, ComparesBothWaysWithMissingPartsAsZero) {
    using VentoyVersionReader::compareVersions;
    const std::vector<std::int64_t> v1_0{1, 0}, v1_0_0{1, 0, 0}, v1_1_9{1, 1, 9}, v1_1_10{1, 1, 10};
    EXPECT_EQ(compareVersions(v1_0, v1_0_0), 0);
    EXPECT_EQ(compareVersions(v1_1_9, v1_1_10), -1);
    EXPECT_EQ(compareVersions(v1_1_10, v1_1_9), 1);
    EXPECT_EQ(compareVersions(v1_1_9, v1_0_0), 1);
    const std::optional<std::vector<std::int64_t>> parsed = VentoyVersionReader::parseVersion("1.1.10");
    EXPECT_EQ(parsed, v1_1_10);
}

// A real FAT file system, made and filled by the outside tools, placed where the
// installer puts the EFI image: the reader finds the marker inside a file's data.
TEST(VentoyVersionReader, ReadsTheVersionFromAFatImageInPartitionTwo) {
    MARLOWICK_REQUIRE_TOOL("mkfs.fat");
    MARLOWICK_REQUIRE_TOOL("mcopy");
    const test::TempDir dir;
    const auto image = dir.file("efi.img");
    const auto marker = dir.file("ventoy.ver");
    const std::string tools = "PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1 ";
    const auto made = test::runCommand(tools + "mkfs.fat -C '" + image.string() + "' 32768");
    ASSERT_EQ(made.exitCode, 0) << made.output;

    constexpr std::int64_t part2Start = 4096;
    constexpr std::int64_t part2Sectors = 65536;  // 32 MiB, the EFI image's size
    const VentoyLayout layout{part2Start + part2Sectors, 512, 2048, 2048, part2Start, part2Sectors,
                              PartitionStyle::mbr, VentoyLayout::mbrCoreStart};
    const auto load = [&] {
        const std::vector<std::uint8_t> bytes = test::readFile(image);
        EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), part2Sectors * 512);
        auto device = std::make_unique<MemoryBlockDevice>(layout.diskSectorCount, 512);
        std::copy(bytes.begin(), bytes.end(), device->mutableBytes().begin() + part2Start * 512);
        return device;
    };
    EXPECT_EQ(read(*load(), layout), notFound);

    // Pad the file so its data lands well past the first chunks of the scan.
    std::string content(300000, '#');
    content += "\nVENTOY_VERSION=1.1.10\n";
    test::writeFile(marker, bytesOf(content));
    const auto copied = test::runCommand(tools + "mcopy -i '" + image.string() + "' '" + marker.string() + "' ::/");
    ASSERT_EQ(copied.exitCode, 0) << copied.output;
    const auto listed = test::runCommand(tools + "mdir -b -i '" + image.string() + "' ::/");
    EXPECT_NE(listed.output.find("::/ventoy.ver"), std::string::npos) << listed.output;

    EXPECT_EQ(read(*load(), layout), found("1.1.10"));
}

}  // namespace
}  // namespace marlowick
