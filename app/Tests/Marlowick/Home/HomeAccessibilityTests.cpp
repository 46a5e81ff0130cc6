#include "Home/HomeAccessibility.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace marlowick {
namespace {

TEST(HomeAccessibility, FixedTexts) {
    const struct {
        std::string_view actual;
        const char* expected;
    } rows[] = {
        {HomeAccessibility::tryAgainLabel, "Try again"},
        {HomeAccessibility::tryAgainHint, "Reads the drive again — use it if you reconnected or replugged it."},
        {HomeAccessibility::bootGuideLabel, "Boot guide"},
        {HomeAccessibility::bootGuideHint, "Shows how to start a computer from a Ventoy drive."},
        {HomeAccessibility::diagnosticsToggleHint, "Shows what Marlowick recorded about this operation."},
        {HomeAccessibility::diagnosticsCopyLabel, "Copy technical details"},
        {HomeAccessibility::diagnosticsCopyHint,
         "Copies the details to the clipboard so you can paste them into a support message. Your drive's serial "
         "number is not included."},
        {HomeAccessibility::driveImagesRefreshHint,
         "Re-reads the images on the drive — use it after copying an ISO onto it."},
        {HomeAccessibility::gplSourceLinkHint, "Opens the Ventoy release the boot files came from in your browser."},
    };
    for (const auto& row : rows) EXPECT_EQ(row.actual, row.expected);
}

TEST(HomeAccessibility, PhoneAppFeaturesAndTheirSpokenSummary) {
    using Feature = HomeAccessibility::MobileAppFeature;
    const Feature expected[] = {
        {"square.grid.2x2.fill", "Curated catalog", "Linux distros and rescue tools, vetted and kept current."},
        {"arrow.down.circle.fill", "Download on the go", "Pull images straight to your phone over Wi-Fi."},
        {"externaldrive.fill.badge.plus", "Fill your drive from your phone",
         "Plug in the drive you made here and copy ISOs onto it."},
    };
    ASSERT_EQ(HomeAccessibility::getMobileAppFeatures.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(HomeAccessibility::getMobileAppFeatures[i], expected[i]);
    EXPECT_EQ(HomeAccessibility::getMobileAppFeaturesLabel(),
              "Curated catalog. Linux distros and rescue tools, vetted and kept current. Download on the go. Pull images "
              "straight to your phone over Wi-Fi. Fill your drive from your phone. Plug in the drive you made here and "
              "copy ISOs onto it.");
}

TEST(HomeAccessibility, CountedLabelsPickTheirForm) {
    const struct {
        long long count;
        const char* images;
        const char* hidden;
    } rows[] = {
        {0, "Images on this drive. No images yet — add one to boot from it.",
         "0 SSDs or hard drives are hidden to protect the data on it. To use one, choose View ▸ Show External SSDs and "
         "Hard Drives."},
        {1, "Images on this drive. 1 image.",
         "1 SSD or hard drive is hidden to protect the data on it. To use one, choose View ▸ Show External SSDs and "
         "Hard Drives."},
        {2, "Images on this drive. 2 images.",
         "2 SSDs or hard drives are hidden to protect the data on it. To use one, choose View ▸ Show External SSDs and "
         "Hard Drives."},
        {1000, "Images on this drive. 1000 images.",
         "1000 SSDs or hard drives are hidden to protect the data on it. To use one, choose View ▸ Show External SSDs "
         "and Hard Drives."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(HomeAccessibility::driveImagesLabel(row.count), row.images);
        EXPECT_EQ(HomeAccessibility::hiddenFixedStorageNotice(row.count), row.hidden);
    }
}

TEST(HomeAccessibility, PercentRoundsHalvesAwayFromZeroAndStaysInRange) {
    const struct {
        double fraction;
        long long percent;
    } rows[] = {
        {0.0, 0}, {1.0, 100}, {0.625, 63}, {0.005, 1}, {0.004, 0}, {0.995, 100}, {0.5, 50},
        {-0.2, 0}, {1.7, 100}, {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), 100}, {-std::numeric_limits<double>::infinity(), 0},
    };
    for (const auto& row : rows) EXPECT_EQ(HomeAccessibility::percent(row.fraction), row.percent) << row.fraction;
}

TEST(HomeAccessibility, ProgressLabelNamesTheOperationStageAndPercent) {
    using Kind = HomeOperationKind;
    const struct {
        Kind kind;
        const char* stage;
        double fraction;
        const char* expected;
    } rows[] = {
        {Kind::prepare, "Formatting…", 0.0, "Preparing drive, Formatting…, 0 percent"},
        {Kind::reinstall, "Installing", 1.0, "Reinstalling Ventoy, Installing, 100 percent"},
        {Kind::update, "Writing boot image…", 0.625, "Updating Ventoy, Writing boot image…, 63 percent"},
        {Kind::removeVentoy, "Erasing", 0.004, "Removing Ventoy, Erasing, 0 percent"},
        {Kind::addImage, "Copying <b>a.iso</b>", 0.5, "Adding image, Copying <b>a.iso</b>, 50 percent"},
        {Kind::writeRawImage, "Verifying", 0.995, "Writing disk image, Verifying, 100 percent"},
        // Outside its domain it still reads as a percentage between 0 and 100.
        {Kind::prepare, "x", std::numeric_limits<double>::quiet_NaN(), "Preparing drive, x, 0 percent"},
        {Kind::prepare, "x", std::numeric_limits<double>::infinity(), "Preparing drive, x, 100 percent"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(HomeAccessibility::progressLabel(row.kind, row.stage, row.fraction), row.expected);
    }
}

}  // namespace
}  // namespace marlowick
