#include "Install/VentoyInstallOptions.hpp"

#include <gtest/gtest.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Options = VentoyInstallOptions;

struct OptionsRejectCase {
    const char* name;
    DriveFilesystem filesystem;
    std::int64_t reserveBytes;
    std::optional<std::int64_t> clusterBytes;
    std::optional<std::string> label;
    const char* error;
};
void PrintTo(const OptionsRejectCase& c, std::ostream* os) { *os << c.name; }

const OptionsRejectCase optionsRejects[] = {
    {"negativeReserveBeforeBadClusterAndLabel", DriveFilesystem::exfat, -1, 0, "", "negativeReserveBytes(-1)"},
    {"mostNegativeReserve", DriveFilesystem::fat32, INT64_MIN, std::nullopt, std::nullopt,
     "negativeReserveBytes(-9223372036854775808)"},
    {"zeroCluster", DriveFilesystem::exfat, 0, 0, std::nullopt, "clusterNotPowerOfTwo(0)"},
    {"negativeCluster", DriveFilesystem::exfat, 0, -512, std::nullopt, "clusterNotPowerOfTwo(-512)"},
    {"mostNegativeCluster", DriveFilesystem::exfat, 0, INT64_MIN, std::nullopt,
     "clusterNotPowerOfTwo(-9223372036854775808)"},
    {"clusterNotPowerOfTwoBeforeBadLabel", DriveFilesystem::exfat, 0, 3072, "   ", "clusterNotPowerOfTwo(3072)"},
    {"clusterBelowMinimum", DriveFilesystem::exfat, 0, 256, std::nullopt, "clusterOutOfRange(256)"},
    {"oneByteCluster", DriveFilesystem::fat32, 0, 1, std::nullopt, "clusterOutOfRange(1)"},
    {"fat32AboveItsCeiling", DriveFilesystem::fat32, 0, 65536, std::nullopt, "clusterOutOfRange(65536)"},
    {"exfatAboveItsCeiling", DriveFilesystem::exfat, 0, 67108864, std::nullopt, "clusterOutOfRange(67108864)"},
    {"emptyLabel", DriveFilesystem::exfat, 0, std::nullopt, "", "blankVolumeLabel"},
    {"longBlankLabelIsBlankNotLong", DriveFilesystem::exfat, 0, std::nullopt, " \t \t \t \t \t \t \r\n",
     "blankVolumeLabel"},
    {"unicodeSpacesAreBlank", DriveFilesystem::exfat, 0, std::nullopt, "\u00a0\u3000\u2028\u0085",
     "blankVolumeLabel"},
    {"labelCountedUntrimmed", DriveFilesystem::exfat, 0, std::nullopt, "  ABCDEFGHIJ",
     "volumeLabelTooLong(length: 12)"},
    {"twelveLetters", DriveFilesystem::fat32, 0, 4096, "ABCDEFGHIJKL", "volumeLabelTooLong(length: 12)"},
    // Six characters outside the basic plane take two UTF-16 units each, which is what
    // the file-system label holds.
    {"astralCharactersCountTwice", DriveFilesystem::exfat, 0, std::nullopt,
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600", "volumeLabelTooLong(length: 12)"},
    // e + combining accent is one character on screen but two units in the label.
    {"combiningMarksCountAsUnits", DriveFilesystem::exfat, 0, std::nullopt,
     "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301",
     "volumeLabelTooLong(length: 12)"},
};

class VentoyInstallOptionsRejects : public ::testing::TestWithParam<OptionsRejectCase> {};

TEST_P(VentoyInstallOptionsRejects, WithTheFirstFailingCheck) {
    const OptionsRejectCase& c = GetParam();
    try {
        (void)Options(c.filesystem, PartitionStyle::mbr, c.reserveBytes, true, std::nullopt, c.clusterBytes, c.label);
        FAIL() << "built options";
    } catch (const VentoyInstallOptionsError& e) {
        EXPECT_EQ(render(e.value), c.error);
        EXPECT_STREQ(e.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Options, VentoyInstallOptionsRejects, ::testing::ValuesIn(optionsRejects), test::CaseName{});

struct OptionsAcceptCase {
    const char* name;
    DriveFilesystem filesystem;
    std::optional<std::int64_t> clusterBytes;
    std::optional<std::string> label;
};
void PrintTo(const OptionsAcceptCase& c, std::ostream* os) { *os << c.name; }

const OptionsAcceptCase optionsAccepts[] = {
    {"smallestCluster", DriveFilesystem::fat32, 512, std::nullopt},
    {"fat32Ceiling", DriveFilesystem::fat32, 32768, std::nullopt},
    {"exfat64KiB", DriveFilesystem::exfat, 65536, std::nullopt},
    {"exfatCeiling", DriveFilesystem::exfat, 33554432, std::nullopt},
    {"elevenWithSpacesKept", DriveFilesystem::exfat, std::nullopt, " MY DRIVE  "},
    {"elevenAccentedLetters", DriveFilesystem::fat32, std::nullopt,
     "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"},
    {"fiveAstralAndOneLetter", DriveFilesystem::exfat, std::nullopt,
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600A"},
    {"singleCharacter", DriveFilesystem::exfat, std::nullopt, "x"},
};

class VentoyInstallOptionsAccepts : public ::testing::TestWithParam<OptionsAcceptCase> {};

TEST_P(VentoyInstallOptionsAccepts, AndStoresEveryFieldAsGiven) {
    const OptionsAcceptCase& c = GetParam();
    const Options options(c.filesystem, PartitionStyle::gpt, 1048576, false, "1.1.16", c.clusterBytes, c.label);
    EXPECT_EQ(options.dataFilesystem(), c.filesystem);
    EXPECT_EQ(options.partitionStyle(), PartitionStyle::gpt);
    EXPECT_EQ(options.reserveBytesAtEnd(), 1048576);
    EXPECT_FALSE(options.alignTo4K());
    EXPECT_EQ(options.ventoyVersion(), std::optional<std::string>("1.1.16"));
    EXPECT_EQ(options.dataClusterBytes(), c.clusterBytes);
    EXPECT_EQ(options.volumeLabel(), c.label);
}

INSTANTIATE_TEST_SUITE_P(Options, VentoyInstallOptionsAccepts, ::testing::ValuesIn(optionsAccepts), test::CaseName{});

TEST(VentoyInstallOptions, DefaultsAreExfatMbrAlignedWithNothingElseChosen) {
    const Options& shared = Options::defaultOptions();
    EXPECT_EQ(&shared, &Options::defaultOptions());
    EXPECT_EQ(shared, Options());
    EXPECT_EQ(shared.dataFilesystem(), DriveFilesystem::exfat);
    EXPECT_EQ(shared.partitionStyle(), PartitionStyle::mbr);
    EXPECT_EQ(shared.reserveBytesAtEnd(), 0);
    EXPECT_TRUE(shared.alignTo4K());
    EXPECT_FALSE(shared.ventoyVersion().has_value());
    EXPECT_FALSE(shared.dataClusterBytes().has_value());
    EXPECT_FALSE(shared.volumeLabel().has_value());
    EXPECT_EQ(Options::defaultVolumeLabel, "MARLOWICK");
}

TEST(VentoyInstallOptions, EqualityComparesEveryField) {
    const Options base(DriveFilesystem::exfat, PartitionStyle::mbr, 0, true, std::nullopt, 4096, "DATA");
    EXPECT_EQ(base, Options(DriveFilesystem::exfat, PartitionStyle::mbr, 0, true, std::nullopt, 4096, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::fat32, PartitionStyle::mbr, 0, true, std::nullopt, 4096, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::exfat, PartitionStyle::gpt, 0, true, std::nullopt, 4096, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::exfat, PartitionStyle::mbr, 512, true, std::nullopt, 4096, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::exfat, PartitionStyle::mbr, 0, false, std::nullopt, 4096, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::exfat, PartitionStyle::mbr, 0, true, "1.1.17", 4096, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::exfat, PartitionStyle::mbr, 0, true, std::nullopt, 8192, "DATA"));
    EXPECT_NE(base, Options(DriveFilesystem::exfat, PartitionStyle::mbr, 0, true, std::nullopt, 4096, "DATA "));
}

}  // namespace
}  // namespace marlowick
