// The whole road of a compressed image onto a real block device: file source, xz and gzip
// decoding, the raw disk device with its direct I/O read-back.

#include <gtest/gtest.h>

#include <random>

#include "Block/RawDiskBlockDevice.hpp"
#include "Image/CompressedRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"
#include "Image/RawImageWriter.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

TEST(RawImageWriterOnLoopDevice, WritesCompressedImagesThatReadBackAsTheToolsDecodeThem) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("xz");
    MARLOWICK_REQUIRE_TOOL("gzip");
    test::TempDir dir;
    // An odd size, so the last sector is padded.
    std::vector<std::uint8_t> image(700 * 1024 + 123);
    std::mt19937 random(11);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = i % 3 == 0 ? static_cast<std::uint8_t>(random()) : 0x42;
    test::writeFile(dir.file("disk.img"), image);
    const std::string in = "cd '" + dir.path().string() + "' && ";
    ASSERT_EQ(test::runCommand(in + "xz -k disk.img && gzip -k disk.img").exitCode, 0);

    constexpr std::int64_t driveBytes = 2 << 20;
    for (const std::string name : {"disk.img.xz", "disk.img.gz"}) {
        SCOPED_TRACE(name);
        const auto drive = dir.file(name + ".drive");
        test::createSparseFile(drive, driveBytes);
        auto loop = test::LoopDevice::attach(drive);
        if (!loop) GTEST_SKIP() << "no free loop device";
        auto opened = RawDiskBlockDevice::open(loop->path(), 512, driveBytes / 512, 64, BlockAccessMode::readWrite);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<RawDiskBlockDevice>>(opened));
        auto& device = *std::get<std::unique_ptr<RawDiskBlockDevice>>(opened);
        const auto source =
            CompressedRawImageSource::forName(name, std::make_shared<FileRawImageSource>(dir.file(name).string()));
        const RawImageWriteResult result = RawImageWriter().write(
            device, *source, true, [](RawWriteStage, std::optional<ByteProgress>) {}, [] { return false; });
        device.close();
        const auto* completed = std::get_if<RawImageWriteResult::Completed>(&result.value);
        ASSERT_NE(completed, nullptr);
        EXPECT_TRUE(completed->report.overallSuccess()) << ::testing::PrintToString(result);
        EXPECT_EQ(completed->report.verification(), RawWriteVerification::medium);
        EXPECT_EQ(completed->report.imageBytes, static_cast<std::int64_t>(image.size()));
        // The drive holds exactly what the tool decodes, then the padding's zeros.
        const std::string decoder = name.ends_with(".xz") ? "xz" : "gzip";
        EXPECT_EQ(test::runCommand(in + decoder + " -dc " + name + " | cmp - '" + loop->path() + "' -n " +
                                   std::to_string(image.size()))
                      .exitCode,
                  0);
        EXPECT_EQ(test::runCommand("cmp -n 389 -i " + std::to_string(image.size()) + ":0 '" + loop->path() +
                                   "' /dev/zero")
                      .exitCode,
                  0);
    }
}

}  // namespace
}  // namespace marlowick
