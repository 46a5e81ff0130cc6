#include "Fat32/Fat32Structures.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "Block/MemoryBlockDevice.hpp"
#include "Bytes/LittleEndian.hpp"
#include "Fat32/DefaultFat32Formatter.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

void putText(Bytes& bytes, std::size_t offset, const std::string& text) {
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

Fat32Layout exampleLayout(int bytesPerSector = 512) {
    return {.volumeLengthSectors = 1000000,
            .partitionOffsetSectors = 2048,
            .bytesPerSector = bytesPerSector,
            .sectorsPerCluster = 8,
            .reservedSectorCount = 38,
            .numberOfFats = 2,
            .fatLengthSectors = 977,
            .clusterCount = 124751,
            .rootDirFirstCluster = 2};
}

std::string encoded(const Fat32Structures::Label& label) {
    const auto bytes = Fat32Structures::encodeVolumeLabel(label);
    return {bytes.begin(), bytes.end()};
}

TEST(Fat32Structures, EncodesLabelsAsElevenUpperCaseAsciiBytes) {
    struct Row {
        std::optional<std::string> label;
        const char* expected;
    };
    const Row rows[] = {
        {std::nullopt, "NO NAME    "},
        {"", "NO NAME    "},
        {"my usb:1", "MY USB_1   "},
        {"stra\u00dfe", "STRASSE    "},             // ß grows into SS
        {"abcdefghij\u00df", "ABCDEFGHIJS"},      // growth past 11 is cut
        {"a.b,c;d=e+f", "A_B_C_D_E_F"},
        {"\"*+,./:;<=>", "___________"},
        {"?[\\]|", "_____      "},
        {"  two  words", "TWO  WORDS "},           // inner spaces stay, leading ones go
        {"   ", "NO NAME    "},
        {"a~\x7f", "A~_        "},                 // DEL is a control character
        {"a\tb", "A_B        "},
        {"a\r\nb", "A_B        "},                 // CR-LF is one character
        {"e\u0301t\u00e9", "_T_        "},         // decomposed and precomposed é alike
        {"\U0001F1E9\U0001F1EAok", "_OK        "}, // a flag is two scalars, one character
        {"\xff" "ab", "_AB        "},              // invalid UTF-8
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label.value_or("<none>"));
        EXPECT_EQ(encoded(row.label), row.expected);
    }
}

TEST(Fat32Structures, BuildsTheBootSectorFieldByField) {
    Bytes expected(512, 0);
    const std::uint8_t head[] = {0xEB, 0x58, 0x90};
    std::memcpy(expected.data(), head, 3);
    putText(expected, 3, "KESTRLFS");
    expected[11] = 0x00, expected[12] = 0x02;  // 512 bytes per sector
    expected[13] = 8;
    expected[14] = 38;
    expected[16] = 2;
    expected[21] = 0xF8;
    expected[24] = 63;
    expected[26] = 255;
    LittleEndian::write32(expected, 28, 2048);
    LittleEndian::write32(expected, 32, 1000000);
    LittleEndian::write32(expected, 36, 977);
    expected[44] = 2;
    expected[48] = 1;
    expected[50] = 6;
    expected[64] = 0x80;
    expected[66] = 0x29;
    LittleEndian::write32(expected, 67, 0xCAFEF00D);
    putText(expected, 71, "MY USB_1   ");
    putText(expected, 82, "FAT32   ");
    expected[510] = 0x55, expected[511] = 0xAA;
    EXPECT_EQ(Fat32Structures::buildBootSector(exampleLayout(), 0xCAFEF00D, "my usb:1"), expected);

    // A larger sector keeps the signature at 510 and zeros after it.
    expected.resize(4096, 0);
    expected[11] = 0x00, expected[12] = 0x10;
    EXPECT_EQ(Fat32Structures::buildBootSector(exampleLayout(4096), 0xCAFEF00D, "my usb:1"), expected);
}

TEST(Fat32Structures, BuildsFsInfoFatHeadAndRootDirectory) {
    const Fat32Layout layout = exampleLayout();
    Bytes fsInfo(512, 0);
    LittleEndian::write32(fsInfo, 0, 0x41615252);
    LittleEndian::write32(fsInfo, 484, 0x61417272);
    LittleEndian::write32(fsInfo, 488, 124750);
    LittleEndian::write32(fsInfo, 492, 3);
    LittleEndian::write32(fsInfo, 508, 0xAA550000);
    EXPECT_EQ(Fat32Structures::buildFsInfoSector(layout), fsInfo);

    Bytes fat(512, 0);
    LittleEndian::write32(fat, 0, 0x0FFFFFF8);
    LittleEndian::write32(fat, 4, 0x0FFFFFFF);
    LittleEndian::write32(fat, 8, 0x0FFFFFFF);
    EXPECT_EQ(Fat32Structures::buildFatHeadSector(layout), fat);

    Bytes root(4096, 0);
    putText(root, 0, "DATA       ");
    root[11] = 0x08;
    EXPECT_EQ(Fat32Structures::buildRootDirectoryCluster(layout, "data"), root);
    EXPECT_EQ(Fat32Structures::buildRootDirectoryCluster(layout, ""), Bytes(4096, 0));
    EXPECT_EQ(Fat32Structures::buildRootDirectoryCluster(layout, "  "), Bytes(4096, 0));
    EXPECT_EQ(Fat32Structures::buildRootDirectoryCluster(layout, std::nullopt), Bytes(4096, 0));
}

TEST(Fat32Structures, RecognisesOnlyFat32BootSectors) {
    const Bytes boot = Fat32Structures::buildBootSector(exampleLayout(), 1, std::nullopt);
    EXPECT_TRUE(Fat32Structures::isFat32BootSector(boot));
    EXPECT_FALSE(Fat32Structures::isFat32BootSector(Bytes(boot.begin(), boot.begin() + 511)));
    for (const std::size_t offset : {66, 82, 89, 510, 511}) {
        Bytes flipped = boot;
        flipped[offset] ^= 0x01;
        EXPECT_FALSE(Fat32Structures::isFat32BootSector(flipped)) << "byte " << offset;
    }
}

TEST(Fat32Structures, ReadsTheLabelAndSerialBack) {
    Bytes boot = Fat32Structures::buildBootSector(exampleLayout(), 0x12345678, "DATA");
    EXPECT_EQ(Fat32Structures::readVolumeLabelIfFat32(boot), "DATA");
    EXPECT_EQ(Fat32Structures::volumeSerial(boot), 0x12345678u);
    struct Row {
        std::string labelBytes;  // 11 bytes
        const char* expected;
    };
    const Row rows[] = {
        {"           ", ""},
        {"  X        ", "  X"},
        {std::string("AB\0\0 \0     ", 11), "AB"},
        {"\xff" "B         ", "\xef\xbf\xbd" "B"},  // invalid UTF-8 becomes U+FFFD
    };
    for (const Row& row : rows) {
        putText(boot, 71, row.labelBytes);
        EXPECT_EQ(Fat32Structures::readVolumeLabelIfFat32(boot), row.expected);
    }
    boot[66] = 0;
    EXPECT_EQ(Fat32Structures::readVolumeLabelIfFat32(boot), std::nullopt);
}

// The smallest FAT32 volume at 512-byte sectors, behind a 2048-sector gap.
class Fat32FreeSpace : public ::testing::Test {
protected:
    static constexpr std::int64_t start = 2048;
    static constexpr std::int64_t length = 66599;

    void SetUp() override {
        const Fat32FormatParams params{start, length, "free", std::nullopt, 7};
        const Fat32FormatResult result = DefaultFat32Formatter(1024).format(device, params);
        ASSERT_TRUE(std::holds_alternative<Fat32FormatResult::Success>(result.value)) << render(result);
    }

    void patch(std::int64_t sector, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), device.mutableBytes().begin() + sector * 512 + static_cast<long>(offset));
    }

    MemoryBlockDevice device{start + length, 512};
};

TEST_F(Fat32FreeSpace, ComesFromTheFsInfoCount) {
    const Fat32Structures::FreeSpace expected{65524 * 512, 65525 * 512};
    EXPECT_EQ(Fat32Structures::readFreeSpace(device, start), expected);
    EXPECT_EQ(Fat32Structures::readFreeSpace(device, 0), std::nullopt);  // nothing there
    EXPECT_EQ(Fat32Structures::readFreeSpace(device, start + length), std::nullopt);  // read fails
}

TEST_F(Fat32FreeSpace, IsAbsentForEveryInconsistency) {
    struct Row {
        const char* name;
        int sector;  // 0 boot sector, 1 FSInfo
        std::size_t offset;
        std::initializer_list<std::uint8_t> bytes;
    };
    const Row rows[] = {
        {"unknownFreeCount", 1, 488, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"freeCountAboveTotal", 1, 488, {0xF6, 0xFF, 0x00, 0x00}},  // 65526 of 65525
        {"badLeadSignature", 1, 0, {0x00}},
        {"badStructSignature", 1, 484, {0x00}},
        {"sectorSizeDiffers", 0, 11, {0x00, 0x04}},
        {"zeroSectorsPerCluster", 0, 13, {0x00}},
        {"fsInfoSectorZero", 0, 48, {0x00, 0x00}},
        {"fsInfoPastReserved", 0, 48, {0x20, 0x00}},
        {"fatsFillTheVolume", 0, 36, {0x00, 0x00, 0x01, 0x00}},
        {"exfatBootSector", 0, 82, {'E', 'X', 'F', 'A', 'T'}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto sector = start + row.sector;
        const Bytes saved = std::get<BlockReadSuccess>(device.readSectors(sector, 1)).data;
        patch(sector, row.offset, row.bytes);
        EXPECT_EQ(Fat32Structures::readFreeSpace(device, start), std::nullopt);
        ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(device.writeSectors(sector, saved)));
    }
}

}  // namespace
}  // namespace marlowick
