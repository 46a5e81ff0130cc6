#include "Mbr/MbrBuilder.hpp"

#include <gtest/gtest.h>

#include <numeric>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

std::vector<std::uint8_t> patternBootCode(std::size_t size) {
    std::vector<std::uint8_t> code(size);
    std::iota(code.begin(), code.end(), std::uint8_t{1});
    return code;
}

TEST(MbrBuilder, EmptyTableIsZeroExceptSignatures) {
    const std::vector<std::uint8_t> sector = MbrBuilder::build({}, 0x1234'5678);
    std::vector<std::uint8_t> expected(512, 0);
    expected[440] = 0x78;
    expected[441] = 0x56;
    expected[442] = 0x34;
    expected[443] = 0x12;
    expected[510] = 0x55;
    expected[511] = 0xAA;
    EXPECT_EQ(sector, expected);
}

TEST(MbrBuilder, LaysOutEntriesAndBootCode) {
    const std::vector<PartitionEntry> entries{PartitionEntry{true, 0x07, 2048, 62453760},
                                              PartitionEntry{false, 0xEF, 62455808, 65536}};
    const std::vector<std::uint8_t> bootCode = patternBootCode(440);
    const std::vector<std::uint8_t> sector = MbrBuilder::build(entries, 0xCAFEBABE, bootCode);
    ASSERT_EQ(sector.size(), 512u);
    EXPECT_TRUE(std::equal(bootCode.begin(), bootCode.end(), sector.begin()));
    const std::vector<std::uint8_t> entry1(sector.begin() + 446, sector.begin() + 462);
    const std::vector<std::uint8_t> expected1{0x80, 0xFE, 0xFF, 0xFF, 0x07, 0xFE, 0xFF, 0xFF,
                                              0x00, 0x08, 0x00, 0x00, 0x00, 0xF8, 0xB8, 0x03};
    EXPECT_EQ(entry1, expected1);
    EXPECT_EQ(sector[462], 0x00);
    EXPECT_EQ(sector[466], 0xEF);
    // Entries 3 and 4 stay zero.
    EXPECT_TRUE(std::all_of(sector.begin() + 478, sector.begin() + 510, [](std::uint8_t b) { return b == 0; }));

    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(sector);
    ASSERT_TRUE(parsed.has_value());
    const ParsedMbr expected{true, 0xCAFEBABE,
                             {entries[0], entries[1], PartitionEntry{}, PartitionEntry{}}};
    EXPECT_EQ(*parsed, expected);
}

TEST(MbrBuilder, ShortBootCodeLeavesTheRestZero) {
    const std::vector<std::uint8_t> sector = MbrBuilder::build({}, 0, patternBootCode(100));
    EXPECT_EQ(sector[99], 100);
    EXPECT_TRUE(std::all_of(sector.begin() + 100, sector.begin() + 510, [](std::uint8_t b) { return b == 0; }));
}

TEST(MbrBuilder, Accepts32BitLimits) {
    const std::vector<PartitionEntry> entries{PartitionEntry{false, 0x07, 4294967295, 4294967295}};
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(MbrBuilder::build(entries, 0));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->entries[0], entries[0]);
}

struct RejectCase {
    const char* name;
    int entryCount;
    int bootCodeBytes;
    std::int64_t start;
    std::int64_t count;
    const char* error;
};

class MbrBuilderRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(MbrBuilderRejects, WithTheTypedError) {
    const RejectCase& c = GetParam();
    std::vector<PartitionEntry> entries(static_cast<std::size_t>(c.entryCount), PartitionEntry{false, 0x07, 2048, 2048});
    entries.back() = PartitionEntry{false, 0x07, c.start, c.count};
    const std::vector<std::uint8_t> bootCode(static_cast<std::size_t>(c.bootCodeBytes), 0x90);
    try {
        (void)MbrBuilder::build(entries, 0x1234'5678, bootCode);
        FAIL() << "built a sector";
    } catch (const MbrBuilderError& e) {
        EXPECT_EQ(render(e.value), c.error);
        EXPECT_EQ(std::string(e.what()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Build, MbrBuilderRejects,
    ::testing::Values(
        // The entry count is examined before the boot code.
        RejectCase{"fiveEntries", 5, 441, 2048, 2048, "tooManyPartitions(count: 5, max: 4)"},
        RejectCase{"bootCode441", 1, 441, 2048, 2048, "oversizedBootCode(size: 441, max: 440)"},
        RejectCase{"bootCode512", 1, 512, -1, 2048, "oversizedBootCode(size: 512, max: 440)"},
        RejectCase{"startPast32Bits", 2, 0, 4294967296, 2048, "startLbaOutOf32BitRange(4294967296)"},
        RejectCase{"negativeStart", 1, 0, -1, -1, "startLbaOutOf32BitRange(-1)"},
        RejectCase{"negativeCount", 1, 0, 2048, -1, "sectorCountOutOf32BitRange(-1)"},
        RejectCase{"countPast32Bits", 4, 440, 2048, 4294967296, "sectorCountOutOf32BitRange(4294967296)"}),
    test::CaseName{});

TEST(MbrBuilder, ParseReadsOnlyWhatIsStored) {
    const std::vector<PartitionEntry> entries{PartitionEntry{true, 0x0C, 2048, 4096}};
    std::vector<std::uint8_t> sector = MbrBuilder::build(entries, 7);
    sector[446] = 0x81;  // not exactly 0x80: not active
    std::fill(sector.begin() + 462 + 8, sector.begin() + 462 + 12, 0xFF);  // start of entry 2: FF FF FF FF
    sector[511] = 0x00;
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(sector);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_FALSE(parsed->hasSignature);
    EXPECT_FALSE(parsed->entries[0].bootable);
    EXPECT_EQ(parsed->entries[0].type, 0x0C);
    EXPECT_EQ(parsed->entries[1].startLba, 4294967295);
    ASSERT_EQ(parsed->entries.size(), 4u);

    EXPECT_EQ(MbrBuilder::parse(std::vector<std::uint8_t>(511, 0)), std::nullopt);
    EXPECT_EQ(MbrBuilder::parse({}), std::nullopt);
    // A 4096-byte sector 0 parses from its first 512 bytes.
    std::vector<std::uint8_t> large = MbrBuilder::build({}, 9);
    large.resize(4096, 0xEE);
    ASSERT_TRUE(MbrBuilder::parse(large).has_value());
    EXPECT_EQ(MbrBuilder::parse(large)->diskSignature, 9u);
}

TEST(MbrBuilder, CorePointerPatchesBytes92To99Only) {
    const std::vector<std::uint8_t> bootCode = patternBootCode(440);
    const std::optional<std::vector<std::uint8_t>> patched = MbrBuilder::patchCoreImgPointer(bootCode, 34);
    ASSERT_TRUE(patched.has_value());
    const std::vector<std::uint8_t> pointer(patched->begin() + 92, patched->begin() + 100);
    const std::vector<std::uint8_t> expected{0x22, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(pointer, expected);
    std::vector<std::uint8_t> restored = *patched;
    std::copy(bootCode.begin() + 92, bootCode.begin() + 100, restored.begin() + 92);
    EXPECT_EQ(restored, bootCode);
    EXPECT_EQ(MbrBuilder::coreImgSectorPointer(*patched), 34);

    const std::optional<std::vector<std::uint8_t>> wide = MbrBuilder::patchCoreImgPointer(bootCode, 0x0102'0304'0506'0708);
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ((*wide)[92], 0x08);
    EXPECT_EQ((*wide)[99], 0x01);
    EXPECT_EQ(MbrBuilder::coreImgSectorPointer(*wide), 0x0102'0304'0506'0708);

    // The pointer reads the same from a whole sector 0.
    const std::vector<std::uint8_t> sector = MbrBuilder::build({}, 0, *patched);
    EXPECT_EQ(MbrBuilder::coreImgSectorPointer(sector), 34);
}

TEST(MbrBuilder, CorePointerRefusesShortOrNegative) {
    EXPECT_EQ(MbrBuilder::patchCoreImgPointer(patternBootCode(99), 1), std::nullopt);
    EXPECT_TRUE(MbrBuilder::patchCoreImgPointer(patternBootCode(100), 1).has_value());
    EXPECT_EQ(MbrBuilder::patchCoreImgPointer(patternBootCode(440), -1), std::nullopt);
    EXPECT_EQ(MbrBuilder::coreImgSectorPointer(patternBootCode(99)), std::nullopt);
    std::vector<std::uint8_t> topBit(100, 0);
    topBit[99] = 0x80;
    EXPECT_EQ(MbrBuilder::coreImgSectorPointer(topBit), std::nullopt);
}

}  // namespace
}  // namespace marlowick
