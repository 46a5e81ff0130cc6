#include "Gpt/GptBuilder.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "Bytes/LittleEndian.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

std::vector<std::uint8_t> bytesOf(const GptBuilder::GuidBytes& guid) { return {guid.begin(), guid.end()}; }

GptBuilder::Partition partition(const GptBuilder::GuidBytes& type, std::int32_t salt, std::int64_t start,
                                std::int64_t end, std::string name) {
    return {bytesOf(type), GptBuilder::deriveGuid(0x1234'5678, salt), start, end, 0, std::move(name)};
}

GptBuilder::Built buildDisk(std::int64_t sectors) {
    return GptBuilder::build(sectors, partition(GptBuilder::typeMsBasicData, 1, 2048, 4095, "Ventoy"),
                             partition(GptBuilder::typeEfiSystem, 2, 4096, 4096 + 65535, "VTOYEFI"),
                             GptBuilder::deriveGuid(0x1234'5678, 0));
}

std::uint32_t u32(const std::vector<std::uint8_t>& bytes, std::size_t offset) { return LittleEndian::read32(bytes, offset); }

TEST(GptBuilder, Crc32CheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(GptBuilder::crc32(std::vector<std::uint8_t>(digits.begin(), digits.end())), 0xCBF43926u);
    EXPECT_EQ(GptBuilder::crc32({}), 0u);
}

TEST(GptBuilder, TypeGuidsAreInGptByteOrder) {
    const std::vector<std::uint8_t> basicData{0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                              0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
    const std::vector<std::uint8_t> efiSystem{0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                              0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
    EXPECT_EQ(bytesOf(GptBuilder::typeMsBasicData), basicData);
    EXPECT_EQ(bytesOf(GptBuilder::typeEfiSystem), efiSystem);
}

struct PlacementRow {
    const char* name;
    std::int64_t sectors;
    std::int64_t lastUsable;
    std::int64_t backupArray;
    std::uint32_t protectiveCount;
};

class GptBuilderPlaces : public ::testing::TestWithParam<PlacementRow> {};

TEST_P(GptBuilderPlaces, BackupCopiesAtTheEnd) {
    const PlacementRow& row = GetParam();
    const GptBuilder::Built built = buildDisk(row.sectors);
    EXPECT_EQ(built.backupEntryArrayLba, row.backupArray);
    EXPECT_EQ(built.backupHeaderLba, row.sectors - 1);
    EXPECT_EQ(built.entryArray.size(), 16384u);
    EXPECT_EQ(u32(built.protectiveMbr, 458), row.protectiveCount);

    const std::optional<ParsedGptHeader> primary = GptBuilder::parseHeader(built.primaryHeader);
    const std::optional<ParsedGptHeader> backup = GptBuilder::parseHeader(built.backupHeader);
    ASSERT_TRUE(primary && backup);
    const std::uint32_t entriesCrc = GptBuilder::crc32(built.entryArray);
    const ParsedGptHeader expectedPrimary{true, 1, row.sectors - 1, 34, row.lastUsable, 2, 128, 128, entriesCrc};
    const ParsedGptHeader expectedBackup{true, row.sectors - 1, 1, 34, row.lastUsable, row.backupArray, 128, 128, entriesCrc};
    EXPECT_EQ(*primary, expectedPrimary);
    EXPECT_EQ(*backup, expectedBackup);
    EXPECT_EQ(u32(built.primaryHeader, 8), 0x0001'0000u);
    EXPECT_EQ(u32(built.primaryHeader, 12), 92u);
    // Both headers carry the same disk GUID.
    EXPECT_TRUE(std::equal(built.primaryHeader.begin() + 56, built.primaryHeader.begin() + 72,
                           built.backupHeader.begin() + 56));
}

INSTANTIATE_TEST_SUITE_P(Disks, GptBuilderPlaces,
                         ::testing::Values(PlacementRow{"smallest", 68, 34, 35, 67},
                                           PlacementRow{"disk32GB", 62521344, 62521310, 62521311, 62521343},
                                           PlacementRow{"exactly2To32Plus1", 4294967297, 4294967263, 4294967264,
                                                        4294967295u},
                                           PlacementRow{"past2To32", 8589934592, 8589934558, 8589934559, 4294967295u}),
                         test::CaseName{});

TEST(GptBuilder, ProtectiveMbrCarriesBootCodeAndOneEntry) {
    std::vector<std::uint8_t> bootCode(440, 0x90);
    const std::vector<std::uint8_t> mbr = GptBuilder::buildProtectiveMbr(62521344, bootCode);
    std::vector<std::uint8_t> expected(512, 0);
    std::fill(expected.begin(), expected.begin() + 440, 0x90);
    const std::uint8_t entry[16] = {0x00, 0x00, 0x02, 0x00, 0xEE, 0xFF, 0xFF, 0xFF,
                                    0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xB9, 0x03};
    std::copy(std::begin(entry), std::end(entry), expected.begin() + 446);
    expected[510] = 0x55;
    expected[511] = 0xAA;
    EXPECT_EQ(mbr, expected);
}

TEST(GptBuilder, EntriesHoldGuidsRangesAndName) {
    const GptBuilder::Built built = buildDisk(62521344);
    const std::optional<ParsedGptEntry> first = GptBuilder::parseEntry(built.entryArray, 0);
    const std::optional<ParsedGptEntry> second = GptBuilder::parseEntry(built.entryArray, 1);
    ASSERT_TRUE(first && second);
    const ParsedGptEntry expectedFirst{bytesOf(GptBuilder::typeMsBasicData), 2048, 4095};
    const ParsedGptEntry expectedSecond{bytesOf(GptBuilder::typeEfiSystem), 4096, 4096 + 65535};
    EXPECT_EQ(*first, expectedFirst);
    EXPECT_EQ(*second, expectedSecond);
    const std::vector<std::uint8_t> unique(built.entryArray.begin() + 16, built.entryArray.begin() + 32);
    EXPECT_EQ(unique, GptBuilder::deriveGuid(0x1234'5678, 1));
    const std::vector<std::uint8_t> name(built.entryArray.begin() + 128 + 56, built.entryArray.begin() + 128 + 72);
    const std::vector<std::uint8_t> expectedName{'V', 0, 'T', 0, 'O', 0, 'Y', 0, 'E', 0, 'F', 0, 'I', 0, 0, 0};
    EXPECT_EQ(name, expectedName);
    // Entries 3 to 128 stay zero, and an unused entry parses like any other.
    EXPECT_TRUE(std::all_of(built.entryArray.begin() + 256, built.entryArray.end(), [](std::uint8_t b) { return b == 0; }));
    const ParsedGptEntry unused{std::vector<std::uint8_t>(16, 0), 0, 0};
    EXPECT_EQ(GptBuilder::parseEntry(built.entryArray, 127), unused);
}

struct NameRow {
    const char* name;
    std::string label;
    std::vector<std::uint16_t> units;  // expected UTF-16 units, rest zero
};

class GptBuilderNames : public ::testing::TestWithParam<NameRow> {};

TEST_P(GptBuilderNames, StoreAtMost36Utf16Units) {
    const NameRow& row = GetParam();
    const GptBuilder::Built built = GptBuilder::build(
        68, partition(GptBuilder::typeMsBasicData, 1, 34, 34, row.label),
        partition(GptBuilder::typeEfiSystem, 2, 0, 0, ""), GptBuilder::deriveGuid(1, 0));
    std::vector<std::uint16_t> stored;
    for (std::size_t i = 0; i < 36; ++i) stored.push_back(LittleEndian::read16(built.entryArray, 56 + 2 * i));
    std::vector<std::uint16_t> expected = row.units;
    expected.resize(36, 0);
    EXPECT_EQ(stored, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, GptBuilderNames,
    ::testing::Values(NameRow{"ascii", "Ventoy", {'V', 'e', 'n', 't', 'o', 'y'}},
                      NameRow{"cutAt36", std::string(40, 'x'), std::vector<std::uint16_t>(36, 'x')},
                      NameRow{"latin", "Caf\xC3\xA9", {'C', 'a', 'f', 0xE9}},
                      // U+1F600 takes two units.
                      NameRow{"outsideBasicPlane", "a\xF0\x9F\x98\x80", {'a', 0xD83D, 0xDE00}},
                      // A pair that would straddle the limit is left out whole.
                      NameRow{"pairAtTheLimit", std::string(35, 'y') + "\xF0\x9F\x98\x80",
                              std::vector<std::uint16_t>(35, 'y')},
                      NameRow{"invalidUtf8", "a\xFF" "b", {'a', 0xFFFD, 'b'}}),
    test::CaseName{});

struct BuildRejectRow {
    const char* name;
    std::int64_t sectors;
    std::size_t diskGuidBytes;
    std::size_t typeGuidBytes;
    std::size_t uniqueGuidBytes;
    std::size_t bootCodeBytes;
    const char* error;
};

class GptBuilderRejects : public ::testing::TestWithParam<BuildRejectRow> {};

TEST_P(GptBuilderRejects, InOrderWithTheTypedError) {
    const BuildRejectRow& row = GetParam();
    GptBuilder::Partition part2 = partition(GptBuilder::typeEfiSystem, 2, 40, 50, "VTOYEFI");
    part2.typeGuid.resize(row.typeGuidBytes);
    part2.uniqueGuid.resize(row.uniqueGuidBytes);
    try {
        (void)GptBuilder::build(row.sectors, partition(GptBuilder::typeMsBasicData, 1, 34, 39, "a"), part2,
                                std::vector<std::uint8_t>(row.diskGuidBytes, 1),
                                std::vector<std::uint8_t>(row.bootCodeBytes, 0x90));
        FAIL() << "built a table";
    } catch (const GptBuilderError& e) {
        EXPECT_EQ(render(e.value), row.error);
        EXPECT_EQ(std::string(e.what()), row.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Build, GptBuilderRejects,
    ::testing::Values(BuildRejectRow{"diskOf67", 67, 0, 0, 0, 441, "diskTooSmall(sectors: 67)"},
                      BuildRejectRow{"negativeDisk", -1, 16, 16, 16, 0, "diskTooSmall(sectors: -1)"},
                      BuildRejectRow{"diskGuid15", 68, 15, 0, 0, 441, "invalidDiskGuidSize(15)"},
                      BuildRejectRow{"typeGuid17", 68, 16, 17, 0, 441, "invalidTypeGuidSize(17)"},
                      BuildRejectRow{"uniqueGuid15", 68, 16, 16, 15, 441, "invalidUniqueGuidSize(15)"},
                      BuildRejectRow{"bootCode441", 68, 16, 16, 16, 441, "oversizedBootCode(size: 441, max: 440)"}),
    test::CaseName{});

TEST(GptBuilder, ProtectiveMbrRejectsOversizedBootCode) {
    try {
        (void)GptBuilder::buildProtectiveMbr(68, std::vector<std::uint8_t>(512, 0));
        FAIL() << "built a sector";
    } catch (const GptBuilderError& e) {
        EXPECT_EQ(render(e.value), "oversizedBootCode(size: 512, max: 440)");
    }
}

// One corruption of a valid primary header or entry array, and what parsing must say.
struct CorruptionRow {
    const char* name;
    std::function<void(std::vector<std::uint8_t>& header)> corrupt;
    std::optional<bool> crcValid;  // nullopt: parseHeader gives no value
};

class GptHeaderCorruptions : public ::testing::TestWithParam<CorruptionRow> {};

TEST_P(GptHeaderCorruptions, ParseRefusesCleanly) {
    const CorruptionRow& row = GetParam();
    std::vector<std::uint8_t> header = buildDisk(62521344).primaryHeader;
    row.corrupt(header);
    const std::optional<ParsedGptHeader> parsed = GptBuilder::parseHeader(header);
    ASSERT_EQ(parsed.has_value(), row.crcValid.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->headerCrcValid, *row.crcValid);
    }
}

void resign(std::vector<std::uint8_t>& header) {
    LittleEndian::write32(header, 16, 0);
    LittleEndian::write32(header, 16, GptBuilder::crc32(std::span(header).first(92)));
}

INSTANTIATE_TEST_SUITE_P(
    Header, GptHeaderCorruptions,
    ::testing::Values(
        CorruptionRow{"untouched", [](auto&) {}, true},
        CorruptionRow{"signatureByte", [](auto& h) { h[3] ^= 0x01; }, std::nullopt},
        CorruptionRow{"truncatedTo91", [](auto& h) { h.resize(91); }, std::nullopt},
        CorruptionRow{"emptyInput", [](auto& h) { h.clear(); }, std::nullopt},
        CorruptionRow{"myLbaByte", [](auto& h) { h[24] ^= 0x01; }, false},
        CorruptionRow{"entriesCrcByte", [](auto& h) { h[90] ^= 0x80; }, false},
        CorruptionRow{"lastCoveredByte", [](auto& h) { h[91] ^= 0x01; }, false},
        CorruptionRow{"crcFieldItself", [](auto& h) { h[17] ^= 0x01; }, false},
        // Outside the 92 covered bytes: not part of the header.
        CorruptionRow{"pastTheHeader", [](auto& h) { h[92] ^= 0xFF; }, true},
        // The size field is not consulted: the CRC still covers 92 bytes.
        CorruptionRow{"sizeFieldSays96", [](auto& h) { LittleEndian::write32(h, 12, 96); resign(h); }, true},
        CorruptionRow{"sizeFieldSays96Unsigned", [](auto& h) { LittleEndian::write32(h, 12, 96); }, false}),
    test::CaseName{});

TEST(GptBuilder, ParseHeaderReportsHostileFieldsAsStored) {
    std::vector<std::uint8_t> header = buildDisk(62521344).primaryHeader;
    LittleEndian::write32(header, 80, 0xFFFF'FFFF);  // entry count huge
    LittleEndian::write32(header, 84, 0);            // entry size zero
    LittleEndian::write64(header, 24, 0xFFFF'FFFF'FFFF'FFFF);
    resign(header);
    const std::optional<ParsedGptHeader> parsed = GptBuilder::parseHeader(header);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(parsed->headerCrcValid);
    EXPECT_EQ(parsed->numberOfEntries, 0xFFFF'FFFFu);
    EXPECT_EQ(parsed->sizeOfEntry, 0u);
    EXPECT_EQ(parsed->myLba, -1);
}

TEST(GptBuilder, ParseEntryNeedsTheWholeEntry) {
    const GptBuilder::Built built = buildDisk(62521344);
    const std::vector<std::uint8_t> short255(built.entryArray.begin(), built.entryArray.begin() + 255);
    EXPECT_EQ(GptBuilder::parseEntry(short255, 1), std::nullopt);
    EXPECT_TRUE(GptBuilder::parseEntry(short255, 0).has_value());
    EXPECT_EQ(GptBuilder::parseEntry(built.entryArray, -1), std::nullopt);
    EXPECT_EQ(GptBuilder::parseEntry(built.entryArray, 128), std::nullopt);
    EXPECT_EQ(GptBuilder::parseEntry(built.entryArray, std::numeric_limits<std::int64_t>::max()), std::nullopt);
    EXPECT_EQ(GptBuilder::parseEntry({}, 0), std::nullopt);
}

TEST(GptBuilder, DeriveGuidIsStableAndSaltedWithoutSignExtension) {
    EXPECT_EQ(GptBuilder::deriveGuid(0x1234'5678, 1), GptBuilder::deriveGuid(0x1234'5678, 1));
    const auto disk = GptBuilder::deriveGuid(0x1234'5678, 0);
    const auto part1 = GptBuilder::deriveGuid(0x1234'5678, 1);
    const auto part2 = GptBuilder::deriveGuid(0x1234'5678, 2);
    EXPECT_NE(disk, part1);
    EXPECT_NE(part1, part2);
    EXPECT_NE(disk, part2);
    // Reference values from an independent SplitMix64; -1 enters as 00000000FFFFFFFF.
    const std::vector<std::uint8_t> minusOne{0xBF, 0x5F, 0x58, 0x04, 0xB2, 0x27, 0x3C, 0x30,
                                             0xEC, 0x3C, 0x98, 0x30, 0xD9, 0xFD, 0xD4, 0x24};
    const std::vector<std::uint8_t> salted{0x53, 0xA5, 0xA2, 0x27, 0x43, 0x81, 0x28, 0x44,
                                           0x39, 0xFB, 0x43, 0x3D, 0xD3, 0x14, 0x78, 0xF2};
    const std::vector<std::uint8_t> bothNegative{0x04, 0x1A, 0x89, 0x50, 0x9E, 0x2B, 0x53, 0x32,
                                                 0x34, 0x1D, 0x27, 0xE4, 0x6C, 0xB8, 0x96, 0x0F};
    EXPECT_EQ(GptBuilder::deriveGuid(-1, 0), minusOne);
    EXPECT_EQ(GptBuilder::deriveGuid(0x1234'5678, 2), salted);
    EXPECT_EQ(GptBuilder::deriveGuid(-1, -1), bothNegative);
}

}  // namespace
}  // namespace marlowick
