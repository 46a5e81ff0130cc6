#include "Home/Views/DriveInfoView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cstdlib>

#include "Assets/RegistrySigning.hpp"
#include "Design/BrandStyle.hpp"
#include "Home/HomeViewModel.hpp"
#include "Image/ByteCountText.hpp"
#include "Support/HomeModelHarness.hpp"
#include "Support/ManualExecutor.hpp"
#include "Support/TestSupport.hpp"
#include "UI/Accessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;

HelperDriveUsage usageOf(std::int64_t freeBytes, std::int64_t totalBytes, std::optional<std::string> filesystem) {
    HelperDriveUsage usage;
    usage.freeBytes = freeBytes;
    usage.totalBytes = totalBytes;
    usage.filesystem = std::move(filesystem);
    return usage;
}

TEST(DriveInfoView, UsageFileSystemAndStatusFromTheReadyState) {
    struct Case {
        const char* name;
        std::optional<HelperDriveUsage> usage;
        std::optional<double> fraction;  // none: no bar
        const char* filesystem;
    };
    const Case cases[] = {
        {"noUsage", std::nullopt, std::nullopt, "exFAT"},
        {"zeroTotal", usageOf(0, 0, "exfat"), std::nullopt, "exFAT"},
        {"negativeTotal", usageOf(0, -5, "fat32"), std::nullopt, "FAT32"},
        {"quarterUsed", usageOf(750, 1000, "exfat"), 0.25, "exFAT"},
        {"moreFreeThanTotal", usageOf(2000, 1000, "fat32"), 0.0, "FAT32"},
        {"negativeFree", usageOf(-1, 1000, std::nullopt), 1.0, "exFAT"},
        {"hugeNegativeFree", usageOf(INT64_MIN, INT64_MAX, "ntfs"), 1.0, "exFAT"},
        {"upperCaseName", usageOf(1, 2, "FAT32"), 0.5, "exFAT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DriveInfoView::filesystemName(c.usage), c.filesystem);
        const auto model = DriveInfoView::usageModel(c.usage);
        ASSERT_EQ(model.has_value(), c.fraction.has_value());
        if (model) {
            EXPECT_DOUBLE_EQ(model->usedFraction, *c.fraction);
            EXPECT_EQ(model->line, ByteCountText::fileSize(c.usage->freeBytes) + " free of " +
                                       ByteCountText::fileSize(c.usage->totalBytes));
        }
        DriveInfoView card("Stick", testing::ventoyLayout(), "1.1.17", c.usage, nullptr);
        auto* bar = card.findChild<QProgressBar*>(QStringLiteral("home.driveInfo.usageBar"));
        EXPECT_EQ(bar != nullptr, c.fraction.has_value());
        if (bar != nullptr) {
            EXPECT_EQ(bar->value(), static_cast<int>(*c.fraction * bar->maximum() + 0.5));
        }
    }
}

TEST(DriveInfoView, StatusComparesTheInstalledVersionWithTheRecommendedOne) {
    struct Case {
        std::optional<std::string> installed;
        std::string recommended;
        const char* label;
        BrandColor color;
    };
    const Case cases[] = {
        {"1.1.17", "1.1.17", "Ready", BrandColor::successText},
        {"1.1.10", "1.1.17", "Update available", BrandColor::warningText},
        {"1.2.0", "1.1.17", "Ready", BrandColor::successText},
        {std::nullopt, "1.1.17", "Ventoy installed", BrandColor::textMuted},
        {"beta", "1.1.17", "Ventoy installed", BrandColor::textMuted},
        {"1.1.17", "", "Ventoy installed", BrandColor::textMuted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installed.value_or("<none>") + " vs " + c.recommended);
        const DriveContextStatus status = DriveInfoView::status(c.installed, c.recommended);
        EXPECT_EQ(status.label, c.label);
        EXPECT_EQ(status.color, c.color);
    }
    EXPECT_EQ(DriveInfoView::versionText(std::nullopt), "Ventoy version unknown");
    EXPECT_EQ(DriveInfoView::versionText("1.1.17"), "Ventoy 1.1.17");
}

TEST(DriveInfoView, ReadsAsOneElementFromTheModelsReadyDrive) {
    testing::HomeModelHarness harness;
    HelperVentoyLayout layout = testing::ventoyLayout();
    layout.partitionStyle = "gpt";
    harness.runner->script([&](const HelperCommand& command, const HelperProgressHandler&,
                               const HelperCancelCheck&) -> HelperResult {
        if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing({});
        return testing::detectedVentoy(layout, "1.0.1", usageOf(4'000'000'000, 16'000'000'000, "exfat"));
    });
    DiscoveredDisk stick = testing::usbStick("sdb", "S1", "Kingston <b>DT</b> &amp;");
    harness.disks = {stick};
    const auto model = harness.make();
    model->refreshDisks();
    harness.settle();
    const auto* ready = std::get_if<HomeDriveState::VentoyReady>(&model->state().value);
    ASSERT_NE(ready, nullptr);

    DriveInfoView card(model->deviceName(), ready->layout, ready->installedVersion, ready->usage, harness.catalog);
    EXPECT_EQ(card.objectName(), QStringLiteral("home.driveInfo"));
    const std::string capacity = ByteCountText::fileSize(layout.diskSectorCount * 512);
    const std::string recommended = harness.catalog->recommended().version();
    const std::string status = DriveInfoView::status("1.0.1", recommended).label;
    EXPECT_EQ(status, "Update available");
    EXPECT_EQ(card.accessibleName().toStdString(),
              "Kingston <b>DT</b> &amp;, " + capacity + ", exFAT, GPT, Ventoy 1.0.1, " + status + ", " +
                  ByteCountText::fileSize(4'000'000'000) + " free of " + ByteCountText::fileSize(16'000'000'000));
    auto* name = findElement<QLabel>(card, QStringLiteral("home.driveInfo.name"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text().toStdString(), "Kingston <b>DT</b> &amp;");
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    EXPECT_EQ(findElement<QLabel>(card, QStringLiteral("home.driveInfo.facts"))->text().toStdString(),
              capacity + " \xC2\xB7 exFAT \xC2\xB7 GPT");
    EXPECT_EQ(findElement<StatusChip>(card, QStringLiteral("home.driveInfo.status"))->status().label, status);
    for (QWidget* child : card.findChildren<QWidget*>()) EXPECT_TRUE(ui::isHiddenFromAccessibility(*child));
}

// The chip follows the catalog: a signed registry naming a newer release turns "Ready"
// into "Update available" on the card already showing.
TEST(DriveInfoView, FollowsARefreshedRecommendation) {
    MARLOWICK_REQUIRE_TOOL("openssl");
    test::TempDir folder;
    testing::ManualExecutor main;
    const test::Bytes document = test::registryDocument({test::soundReleaseRecord("1.1.18")});
    const VentoyRegistrySignedBytes served{document, test::opensslSign(document, test::registryTestPrivateKey())};
    const auto catalog = std::make_shared<VentoyCatalogModel>(
        main.executor(), VentoyCatalogModel::Options{.cache = VentoyRegistryCache(folder.path() / "registry"),
                                                     .buildNumber = "42",
                                                     .registryEnabled = true,
                                                     .publicKeyBase64 = test::registryTestPublicKeyBase64(),
                                                     .registryUrl = "https://content.marlowick.test/ventoy.v1.json",
                                                     .fetch = [served](const std::string& url) {
                                                         return url.ends_with(".sig") ? served.signature
                                                                                      : served.payload;
                                                     }});
    ASSERT_EQ(catalog->recommended().version(), "1.1.17");
    auto card = std::make_unique<DriveInfoView>("Stick", testing::ventoyLayout(), "1.1.17", std::nullopt, catalog);
    auto* chip = findElement<StatusChip>(*card, QStringLiteral("home.driveInfo.status"));
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->status().label, "Ready");

    bool done = false;
    catalog->refresh([&] { done = true; });
    ASSERT_TRUE(main.runUntil([&] { return done; }));
    ASSERT_EQ(catalog->recommended().version(), "1.1.18");
    EXPECT_EQ(chip->status().label, "Update available");
    EXPECT_EQ(chip->status().color, BrandColor::warningText);
    EXPECT_TRUE(card->accessibleName().endsWith(QStringLiteral(", Update available")));
    // A card gone stops following: a later publication reaches nothing.
    card.reset();
    catalog->observers().notify(VentoyCatalogModel::Property::recommended);
}

TEST(DriveInfoView, ACapacityThatIsNoByteCountIsNotShownAsOne) {
    HelperVentoyLayout layout = testing::ventoyLayout();
    layout.diskSectorCount = INT64_MAX / 2;
    EXPECT_EQ(DriveInfoView::capacityBytes(layout), -1);
    layout.diskSectorCount = -4;
    EXPECT_EQ(DriveInfoView::capacityBytes(layout), -1);
    DriveInfoView card("Stick", layout, std::nullopt, std::nullopt, nullptr);
    EXPECT_EQ(card.accessibleName().toStdString(),
              "Stick, Unknown size, exFAT, MBR, Ventoy version unknown, Ventoy installed");
}

TEST(DriveInfoView, ScreenshotsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        for (const bool update : {false, true}) {
            QWidget window;
            auto* column = testing::brandColumn(window, BrandColor::surface);
            column->addWidget(new DriveInfoView("SanDisk Ultra", testing::ventoyLayout(), update ? "0.9.0" : std::optional<std::string>(),
                                                usageOf(9'500'000'000, 15'900'000'000, "exfat"), nullptr));
            column->addStretch(1);
            window.resize(460, 200);
            testing::saveScreenshot(window, std::string("drive-info-") + (update ? "update-" : "") + appearance);
        }
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
