#include <gtest/gtest.h>

#include <fstream>

#include "Home/HomeViewModel.hpp"
#include "Image/IsoImageSupport.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;

std::vector<std::string> paragraphs(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find("\n\n"); at != std::string::npos; at = text.find("\n\n", from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    parts.push_back(text.substr(from));
    return parts;
}

class HomeViewModelRawImage : public ::testing::Test {
protected:
    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::filesystem::path path = harness.folder.path() / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // ISO 9660 without a boot record, declaring exactly its own size.
    std::filesystem::path dataDisc() {
        std::vector<std::uint8_t> image(19 * 2048);
        test::putDescriptor(image, 16, 1);
        test::putLittleEndian(image, 16 * 2048 + 80, 19, 4);
        test::putLittleEndian(image, 16 * 2048 + 128, 2048, 2);
        test::putDescriptor(image, 17, 255);
        return write("data.iso", image);
    }

    // An image with an El Torito entry for BIOS PCs only, declaring 100 blocks but holding
    // 21; isohybrid (it boots when written to a drive) or a disc image only.
    std::filesystem::path truncatedBiosImage(const std::string& name, bool hybrid = true) {
        std::vector<std::uint8_t> image = test::elToritoImage(20, 21 * 2048, 100);
        if (hybrid) test::putBootSignature(image);
        const std::vector<std::uint8_t> catalog = test::catalogSector(0x00, {test::entry({0x88})});
        std::copy(catalog.begin(), catalog.end(), image.begin() + 20 * 2048);
        return write(name, image);
    }

    std::shared_ptr<HomeViewModel> model() {
        return harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    }

    HomeModelHarness harness;
};

TEST_F(HomeViewModelRawImage, ADiscImageIsTurnedAwayWithItsWarnings) {
    harness.rawImageToPick = truncatedBiosImage("installer.iso", false);
    const auto home = model();
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);

    ASSERT_TRUE(home->rawWriteBlockedMessage().has_value());
    EXPECT_EQ(paragraphs(*home->rawWriteBlockedMessage()),
              (std::vector<std::string>{
                  "This disc image doesn't boot when it's written directly to a drive \u2014 Windows installers and "
                  "most non-Linux ISOs work this way. Prepare the drive with Ventoy instead, then add this image to "
                  "it: it'll boot from there.",
                  RawWritePreflightNotice{RawWritePreflightNotice::Truncated{100 * 2048, 21 * 2048}}.message(),
                  RawWritePreflightNotice{RawWritePreflightNotice::BiosOnly{}}.message()}));
    EXPECT_FALSE(home->pendingRawImage().has_value());
    EXPECT_FALSE(home->pendingOperation().has_value());

    home->dismissRawWriteBlocked();
    EXPECT_FALSE(home->rawWriteBlockedMessage().has_value());
}

TEST_F(HomeViewModelRawImage, ADataDiscIsTurnedAwayWithItsOneWarning) {
    harness.rawImageToPick = dataDisc();
    const auto home = model();
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);

    ASSERT_TRUE(home->rawWriteBlockedMessage().has_value());
    EXPECT_EQ(paragraphs(*home->rawWriteBlockedMessage()),
              (std::vector<std::string>{
                  "This disc image can't be written directly to a drive. Prepare the drive with Ventoy instead, "
                  "then add this image to it.",
                  RawWritePreflightNotice{RawWritePreflightNotice::NoBootRecord{}}.message()}));
}

TEST_F(HomeViewModelRawImage, AFileThatIsNoImageGetsTheMessageAlone) {
    harness.rawImageToPick = write("notes.txt", std::vector<std::uint8_t>(4096, 'a'));
    const auto home = model();
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    EXPECT_EQ(home->rawWriteBlockedMessage(),
              "That file isn't a disk image Marlowick can write. Pick an .iso, or an .img (it may be compressed as "
              ".img.xz or .img.gz).");
}

TEST_F(HomeViewModelRawImage, AFileThatCannotBeOpenedIsUnreadable) {
    std::filesystem::create_directory(harness.folder.path() / "folder.img");
    harness.rawImageToPick = harness.folder.path() / "folder.img";
    const auto home = model();
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    EXPECT_EQ(home->rawWriteBlockedMessage(),
              "Marlowick couldn't read that file. Check that it finished downloading and try again.");
}

TEST_F(HomeViewModelRawImage, AWritableImageWaitsWithAllItsNotices) {
    harness.rawImageToPick = truncatedBiosImage("short.iso");
    const auto home = model();
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);

    EXPECT_FALSE(home->rawWriteBlockedMessage().has_value());
    EXPECT_EQ(home->pendingOperation(), HomeOperationKind::writeRawImage);
    ASSERT_TRUE(home->pendingRawImage().has_value());
    const HomeViewModel::PendingRawImage& pending = *home->pendingRawImage();
    EXPECT_EQ(pending.url, *harness.rawImageToPick);
    EXPECT_EQ(pending.sizeBytes, 21 * 2048);
    EXPECT_EQ(pending.verdict,
              RawWriteRouting::Verdict{RawWriteRouting::Verdict::RawWrite{RawWriteRouting::Bootability::biosOnly}});
    EXPECT_EQ(pending.notices, (std::vector<RawWritePreflightNotice>{
                                   {RawWritePreflightNotice::Truncated{100 * 2048, 21 * 2048}},
                                   {RawWritePreflightNotice::BiosOnly{}}}));

    // A second pick replaces the first; the sheet stays open.
    harness.rawImageToPick = write("disk.img", std::vector<std::uint8_t>(8192, 0));
    home->setPendingOperation(std::nullopt);
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    ASSERT_TRUE(home->pendingRawImage().has_value());
    EXPECT_EQ(home->pendingRawImage()->url, *harness.rawImageToPick);
    EXPECT_TRUE(home->pendingRawImage()->notices.empty());
}

TEST_F(HomeViewModelRawImage, ACancelledPanelChangesNothing) {
    const auto home = model();
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    EXPECT_EQ(harness.rawImagePicks, 1);
    EXPECT_FALSE(home->pendingRawImage().has_value());
    EXPECT_FALSE(home->rawWriteBlockedMessage().has_value());
    EXPECT_FALSE(home->pendingOperation().has_value());
    EXPECT_TRUE(harness.changes.empty());
}

TEST_F(HomeViewModelRawImage, WithoutADriveNoPanelIsShown) {
    const auto home = harness.make();
    home->beginWriteRawImage();
    EXPECT_EQ(harness.rawImagePicks, 0);
}

TEST_F(HomeViewModelRawImage, ADriveThatNoLongerVerifiesIsRefusedBeforeAnythingWaits) {
    harness.disks = {usbStick("sdb")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto home = harness.make();
    home->refreshDisks();
    harness.settle();
    harness.disks = {usbStick("sdb", "OTHER")};
    harness.rawImageToPick = truncatedBiosImage("short.iso");

    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);

    EXPECT_FALSE(home->pendingRawImage().has_value());
    EXPECT_FALSE(home->pendingOperation().has_value());
    EXPECT_FALSE(home->disk().has_value());
    const auto* done = std::get_if<HomeDriveState::Done>(&home->state().value);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->kind, HomeOperationKind::writeRawImage);
    ASSERT_TRUE(home->lastDiagnostics().has_value());
    EXPECT_EQ(home->lastDiagnostics()->operation, "Write a disk image");
}

}  // namespace
}  // namespace marlowick
