#include "Home/AdvancedInstallOptions.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "Image/ByteCountText.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t MiB = 1'048'576;
constexpr std::int64_t GiB = 1'073'741'824;

const char* const reserveMissing = "Enter how much space to leave free, or turn off \u201CReserve space\u201D.";
const char* const clusterTooLarge = "FAT32 clusters can be at most 32 KB.";
const char* const labelTooLong = "The volume label can be at most 11 characters.";

std::string reserveTooLarge() {
    return "That reserve is too large for this drive \u2014 leave at least " + ByteCountText::fileSize(268'435'456) +
           " for Ventoy and your images.";
}

VentoyReleaseCatalog builtInCatalog() {
    return VentoyReleaseCatalog(std::nullopt, VentoyReleaseManifest::pinned(), VentoyReleaseManifest::available(), 1);
}

AdvancedInstallOptions defaults() { return AdvancedInstallOptions(builtInCatalog()); }

TEST(AdvancedInstallOptions, DefaultsTakeTheRecommendedRelease) {
    const AdvancedInstallOptions options = defaults();
    EXPECT_EQ(options.selectedVentoyVersion, "1.1.17");
    EXPECT_EQ(options.filesystem, DriveFilesystem::exfat);
    EXPECT_EQ(options.partitionStyle, PartitionStyle::mbr);
    EXPECT_TRUE(options.alignTo4K);
    EXPECT_FALSE(options.reserveEnabled);
    EXPECT_EQ(options.reserveAmount, 0);
    EXPECT_EQ(options.reserveUnit, ReserveUnit::megabytes);
    EXPECT_EQ(options.clusterChoice, ClusterChoice::automatic);
    EXPECT_EQ(options.volumeLabel, "");
    EXPECT_EQ(options, AdvancedInstallOptions("1.1.17"));
    for (const std::optional<std::int64_t> capacity : {std::optional<std::int64_t>{}, std::optional<std::int64_t>{0},
                                                       std::optional<std::int64_t>{1}, std::optional<std::int64_t>{-1},
                                                       std::optional<std::int64_t>{64 * GiB}}) {
        EXPECT_EQ(options.validationError(capacity), std::nullopt);
    }
}

struct ValidationCase {
    const char* name;
    void (*change)(AdvancedInstallOptions&);
    std::optional<std::int64_t> capacity;
    std::optional<std::string> message;  // "reserveTooLarge" stands for the sentence with the size in it
};

class AdvancedInstallOptionsValidation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(AdvancedInstallOptionsValidation, GivesTheFirstFailingRule) {
    const ValidationCase& c = GetParam();
    AdvancedInstallOptions options = defaults();
    c.change(options);
    auto expected = c.message;
    if (expected == "reserveTooLarge") expected = reserveTooLarge();
    EXPECT_EQ(options.validationError(c.capacity), expected);
}

void reserve(AdvancedInstallOptions& o, std::int64_t amount, ReserveUnit unit) {
    o.reserveEnabled = true;
    o.reserveAmount = amount;
    o.reserveUnit = unit;
}

constexpr std::int64_t gigPlusFloor = GiB + 268'435'456;  // 1 GiB reserve + the 256 MiB left

INSTANTIATE_TEST_SUITE_P(
    Rules, AdvancedInstallOptionsValidation,
    ::testing::Values(
        ValidationCase{"reserveOnAmountZero", [](auto& o) { reserve(o, 0, ReserveUnit::megabytes); }, 64 * GiB,
                       reserveMissing},
        ValidationCase{"reserveOnNegative", [](auto& o) { reserve(o, -5, ReserveUnit::gigabytes); }, std::nullopt,
                       reserveMissing},
        ValidationCase{"reserveZeroBeatsBadCluster",
                       [](auto& o) {
                           reserve(o, 0, ReserveUnit::megabytes);
                           o.filesystem = DriveFilesystem::fat32;
                           o.clusterChoice = ClusterChoice::k64;
                       },
                       std::nullopt, reserveMissing},
        ValidationCase{"reserveOffAmountZero", [](auto& o) { o.reserveAmount = 0; }, 64 * GiB, std::nullopt},
        ValidationCase{"oneGigLeavesExactlyTheFloor", [](auto& o) { reserve(o, 1, ReserveUnit::gigabytes); },
                       gigPlusFloor, std::nullopt},
        ValidationCase{"oneGigOnOneByteLess", [](auto& o) { reserve(o, 1, ReserveUnit::gigabytes); }, gigPlusFloor - 1,
                       "reserveTooLarge"},
        ValidationCase{"megabytesCountAsMebibytes", [](auto& o) { reserve(o, 1024, ReserveUnit::megabytes); },
                       gigPlusFloor - 1, "reserveTooLarge"},
        ValidationCase{"reserveWithoutCapacityIsNotChecked", [](auto& o) { reserve(o, 900, ReserveUnit::gigabytes); },
                       std::nullopt, std::nullopt},
        ValidationCase{"reserveWithUnknownCapacityIsNotChecked",
                       [](auto& o) { reserve(o, 900, ReserveUnit::gigabytes); }, -1, std::nullopt},
        ValidationCase{"reserveBeyond64Bits", [](auto& o) { reserve(o, 9'000'000'000, ReserveUnit::gigabytes); },
                       64 * GiB, "reserveTooLarge"},
        ValidationCase{"reserveAtTheLargestAmount",
                       [](auto& o) { reserve(o, std::numeric_limits<std::int64_t>::max(), ReserveUnit::megabytes); },
                       std::numeric_limits<std::int64_t>::max(), "reserveTooLarge"},
        ValidationCase{"fat32With64K",
                       [](auto& o) {
                           o.filesystem = DriveFilesystem::fat32;
                           o.clusterChoice = ClusterChoice::k64;
                       },
                       std::nullopt, clusterTooLarge},
        ValidationCase{"fat32With1M",
                       [](auto& o) {
                           o.filesystem = DriveFilesystem::fat32;
                           o.clusterChoice = ClusterChoice::m1;
                       },
                       std::nullopt, clusterTooLarge},
        ValidationCase{"fat32With32K",
                       [](auto& o) {
                           o.filesystem = DriveFilesystem::fat32;
                           o.clusterChoice = ClusterChoice::k32;
                       },
                       std::nullopt, std::nullopt},
        ValidationCase{"exfatWith1M", [](auto& o) { o.clusterChoice = ClusterChoice::m1; }, std::nullopt, std::nullopt},
        ValidationCase{"clusterBeatsLabel",
                       [](auto& o) {
                           o.filesystem = DriveFilesystem::fat32;
                           o.clusterChoice = ClusterChoice::k128;
                           o.volumeLabel = "ABCDEFGHIJKL";
                       },
                       std::nullopt, clusterTooLarge},
        ValidationCase{"label11", [](auto& o) { o.volumeLabel = "ABCDEFGHIJK"; }, std::nullopt, std::nullopt},
        ValidationCase{"label12", [](auto& o) { o.volumeLabel = "ABCDEFGHIJKL"; }, std::nullopt, labelTooLong},
        ValidationCase{"label11WithBlanksAround", [](auto& o) { o.volumeLabel = "  ABCDEFGHIJK \n"; }, std::nullopt,
                       std::nullopt},
        ValidationCase{"onlyBlanks", [](auto& o) { o.volumeLabel = "             "; }, std::nullopt, std::nullopt},
        // Outside the Basic Multilingual Plane a character takes two UTF-16 units, the unit
        // the formatters store labels in: five such characters fit, six do not.
        ValidationCase{"fiveCharactersBeyondTheBmp",
                       [](auto& o) { o.volumeLabel = "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"; },
                       std::nullopt, std::nullopt},
        ValidationCase{"sixCharactersBeyondTheBmp",
                       [](auto& o) { o.volumeLabel = "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"; },
                       std::nullopt, labelTooLong},
        ValidationCase{"tenLettersAndOneBeyondTheBmp",
                       [](auto& o) { o.volumeLabel = "ABCDEFGHIJ\U0001D11E"; }, std::nullopt, labelTooLong},
        ValidationCase{"elevenAccentedLetters",
                       [](auto& o) { o.volumeLabel = "\u00C9\u00C9\u00C9\u00C9\u00C9\u00C9\u00C9\u00C9\u00C9\u00C9\u00C9"; },
                       std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdvancedInstallOptions, SwitchingToExfatClearsTheClusterMessage) {
    AdvancedInstallOptions options = defaults();
    options.filesystem = DriveFilesystem::fat32;
    options.clusterChoice = ClusterChoice::k64;
    EXPECT_EQ(options.validationError(std::nullopt), clusterTooLarge);
    options.filesystem = DriveFilesystem::exfat;
    EXPECT_EQ(options.validationError(std::nullopt), std::nullopt);
}

TEST(AdvancedInstallOptions, ClusterChoicesFollowTheFileSystem) {
    AdvancedInstallOptions options = defaults();
    EXPECT_EQ(options.clusterChoices(), std::vector<ClusterChoice>(allClusterChoices.begin(), allClusterChoices.end()));
    options.filesystem = DriveFilesystem::fat32;
    const std::vector<ClusterChoice> fat32{ClusterChoice::automatic, ClusterChoice::k4, ClusterChoice::k8,
                                           ClusterChoice::k16, ClusterChoice::k32};
    EXPECT_EQ(options.clusterChoices(), fat32);
}

TEST(ClusterChoice, RawValuesAndLabels) {
    struct Row {
        ClusterChoice choice;
        std::int64_t bytes;
        const char* label;
    };
    const Row rows[] = {{ClusterChoice::automatic, 0, "Automatic"}, {ClusterChoice::k4, 4'096, "4 KB"},
                        {ClusterChoice::k8, 8'192, "8 KB"},         {ClusterChoice::k16, 16'384, "16 KB"},
                        {ClusterChoice::k32, 32'768, "32 KB"},      {ClusterChoice::k64, 65'536, "64 KB"},
                        {ClusterChoice::k128, 131'072, "128 KB"},   {ClusterChoice::k256, 262'144, "256 KB"},
                        {ClusterChoice::k512, 524'288, "512 KB"},   {ClusterChoice::m1, 1'048'576, "1 MB"}};
    ASSERT_EQ(std::size(rows), allClusterChoices.size());
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(allClusterChoices[i], rows[i].choice);
        EXPECT_EQ(rawValue(rows[i].choice), rows[i].bytes);
        EXPECT_EQ(label(rows[i].choice), rows[i].label);
        EXPECT_EQ(clusterChoiceFromRaw(rows[i].bytes), rows[i].choice);
    }
    for (const std::int64_t other : {1LL, 512LL, 2'048LL, 2'097'152LL, -4'096LL}) {
        EXPECT_EQ(clusterChoiceFromRaw(other), std::nullopt) << other;
    }
    EXPECT_EQ(rawValue(ReserveUnit::megabytes), MiB);
    EXPECT_EQ(rawValue(ReserveUnit::gigabytes), GiB);
}

TEST(AdvancedInstallOptions, InstallOptionsForTheHelper) {
    const VentoyReleaseCatalog catalog = builtInCatalog();
    AdvancedInstallOptions options = defaults();
    EXPECT_EQ(options.helperInstallOptions(catalog), HelperInstallOptions()) << "the defaults are the helper's defaults";

    options.selectedVentoyVersion = "1.1.16";
    options.filesystem = DriveFilesystem::fat32;
    options.partitionStyle = PartitionStyle::gpt;
    options.alignTo4K = false;
    reserve(options, 3, ReserveUnit::gigabytes);
    options.clusterChoice = ClusterChoice::k16;
    options.volumeLabel = "  Rescue \t";
    const HelperInstallOptions expected("fat32", "gpt", 3 * GiB, false, "1.1.16", 16'384, "Rescue");
    EXPECT_EQ(options.helperInstallOptions(catalog), expected);
    EXPECT_NO_THROW((void)expected.engineOptions()) << "the helper accepts what validation let through";
}

TEST(AdvancedInstallOptions, TheVersionIsLeftOutOnlyWhenItIsRecommendedNow) {
    AdvancedInstallOptions options("1.1.17");
    EXPECT_EQ(options.helperInstallOptions("1.1.17").ventoyVersion, std::nullopt);
    EXPECT_EQ(options.helperInstallOptions("1.1.18").ventoyVersion, "1.1.17") << "the recommendation moved on";
    options.selectedVentoyVersion = " 1.1.16";
    EXPECT_EQ(options.helperInstallOptions("1.1.17").ventoyVersion, " 1.1.16") << "passed through unchanged";
}

TEST(AdvancedInstallOptions, ReserveBytesForTheHelper) {
    struct Row {
        const char* name;
        bool enabled;
        std::int64_t amount;
        ReserveUnit unit;
        std::int64_t bytes;
    };
    const Row rows[] = {
        {"off", false, 500, ReserveUnit::megabytes, 0},
        {"onWithZero", true, 0, ReserveUnit::gigabytes, 0},
        {"onNegative", true, -2, ReserveUnit::gigabytes, 0},
        {"megabytes", true, 500, ReserveUnit::megabytes, 500 * MiB},
        {"gigabytes", true, 2, ReserveUnit::gigabytes, 2 * GiB},
        // Never a wrapped count: 9e9 GiB would wrap to a small, plausible reserve.
        {"beyond64Bits", true, 9'000'000'000, ReserveUnit::gigabytes, std::numeric_limits<std::int64_t>::max()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AdvancedInstallOptions options = defaults();
        options.reserveEnabled = row.enabled;
        options.reserveAmount = row.amount;
        options.reserveUnit = row.unit;
        EXPECT_EQ(options.helperInstallOptions("1.1.17").reserveBytesAtEnd, row.bytes);
    }
}

TEST(AdvancedInstallOptions, RemoveOptionsForTheHelper) {
    AdvancedInstallOptions options = defaults();
    options.filesystem = DriveFilesystem::fat32;  // a plain volume is always exFAT
    options.volumeLabel = "   ";
    EXPECT_EQ(options.normalizedLabel(), std::nullopt);
    EXPECT_EQ(options.helperRemoveOptions(), HelperRemoveOptions("exfat", "mbr", "MARLOWICK", std::nullopt));

    options.partitionStyle = PartitionStyle::gpt;
    options.volumeLabel = "\u00A0Backup\u2028";
    options.clusterChoice = ClusterChoice::k128;
    EXPECT_EQ(options.helperRemoveOptions(), HelperRemoveOptions("exfat", "gpt", "Backup", 131'072));
    EXPECT_NO_THROW((void)options.helperRemoveOptions().engineValues());
}

TEST(AdvancedInstallOptions, PendingDownloadIsTheArchiveOfAReleaseNotYetCached) {
    const VentoyReleaseCatalog catalog = builtInCatalog();
    AdvancedInstallOptions options = defaults();
    options.selectedVentoyVersion = "1.1.15";
    std::vector<std::optional<std::string>> asked;
    bool cached = false;
    const auto isCached = [&](const std::optional<std::string>& version) {
        asked.push_back(version);
        return cached;
    };
    using Kind = HomeOperationKind;
    const auto size115 = VentoyReleaseManifest::v1_1_15().archiveSizeBytes();
    const auto sizeRecommended = VentoyReleaseManifest::pinned().archiveSizeBytes();
    EXPECT_EQ(pendingOperationDownloadBytes(Kind::prepare, options, isCached, catalog), size115);
    EXPECT_EQ(pendingOperationDownloadBytes(Kind::reinstall, options, isCached, catalog), size115);
    EXPECT_EQ(pendingOperationDownloadBytes(Kind::update, options, isCached, catalog), sizeRecommended);
    for (const Kind other : {Kind::removeVentoy, Kind::addImage, Kind::writeRawImage}) {
        EXPECT_EQ(pendingOperationDownloadBytes(other, options, isCached, catalog), std::nullopt);
    }
    EXPECT_EQ(pendingOperationDownloadBytes(std::nullopt, options, isCached, catalog), std::nullopt);
    const std::vector<std::optional<std::string>> expectedQuestions{"1.1.15", "1.1.15", std::nullopt};
    EXPECT_EQ(asked, expectedQuestions);
    cached = true;
    EXPECT_EQ(pendingOperationDownloadBytes(Kind::prepare, options, isCached, catalog), std::nullopt);
}

}  // namespace
}  // namespace marlowick
