// The whole road of a plain or compressed image onto a real block device: file source, xz
// and gzip decoding, the raw disk device with its direct I/O read-back. The drives start
// filled with a pattern, so that zero padding and untouched sectors can be told apart.

#include <gtest/gtest.h>

#include <random>

#include "Block/RawDiskBlockDevice.hpp"
#include "Image/CompressedRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"
#include "Image/RawImageWriter.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t sectorBytes = 512;
constexpr std::uint8_t oldByte = 0xA5;
const std::vector<std::string> imageNames{"disk.img", "disk.img.gz", "disk.img.xz"};

// Passes everything through to the drive, except that one byte of what it reads back comes
// out changed (none for a negative offset): a medium that does not keep what was written.
class FlippingDevice final : public BlockDevice {
public:
    FlippingDevice(BlockDevice& drive, std::int64_t flippedByte) : inner(drive), flipped(flippedByte) {}
    [[nodiscard]] int sectorSize() const override { return inner.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return inner.sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t start, std::int64_t count) override {
        BlockReadResult read = inner.readSectors(start, count);
        if (auto* success = std::get_if<BlockReadSuccess>(&read)) {
            const std::int64_t at = flipped - start * sectorSize();
            if (at >= 0 && at < static_cast<std::int64_t>(success->data.size())) {
                success->data[static_cast<std::size_t>(at)] ^= 0x01;
            }
        }
        return read;
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t start, const std::vector<std::uint8_t>& data) override {
        return inner.writeSectors(start, data);
    }
    [[nodiscard]] BlockFlushResult flush() override { return inner.flush(); }
    void close() override { inner.close(); }

private:
    BlockDevice& inner;
    std::int64_t flipped;
};

// An image of odd size, so the last sector is padded, written as disk.img and compressed
// beside it by the gzip and xz tools.
class RawImageWriterOnLoopDevice : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_ROOT();
        MARLOWICK_REQUIRE_TOOL("xz");
        MARLOWICK_REQUIRE_TOOL("gzip");
        MARLOWICK_REQUIRE_TOOL("cmp");
        MARLOWICK_REQUIRE_TOOL("sha256sum");
        image.resize(700 * 1024 + 123);
        std::mt19937 random(11);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = i % 3 == 0 ? static_cast<std::uint8_t>(random()) : 0x42;
        test::writeFile(dir.file("disk.img"), image);
        ASSERT_EQ(shell("gzip -k disk.img && xz -k disk.img").exitCode, 0);
    }

    test::CommandOutput shell(const std::string& command) const {
        return test::runCommand("cd '" + dir.path().string() + "' && " + command + " 2>&1");
    }
    std::int64_t imageBytes() const { return static_cast<std::int64_t>(image.size()); }

    struct DriveRun {
        test::LoopDevice loop;
        RawImageWriteResult result;
    };

    // Writes `name` with read-back onto a loop device over a new drive file of `driveBytes`
    // filled with the old pattern (a copy kept as "<driveFile>.old"); with `flippedByte`,
    // that byte of every read-back comes out changed. Nothing when no loop device is free.
    std::optional<DriveRun> writeOnDrive(const std::string& name, const std::string& driveFile,
                                         std::int64_t driveBytes, const RawImageWriter& writer = RawImageWriter(),
                                         const RawImageWriter::CancelCheck& isCancelled = [] { return false; },
                                         std::optional<std::int64_t> flippedByte = std::nullopt) const {
        const std::vector<std::uint8_t> old(static_cast<std::size_t>(driveBytes), oldByte);
        test::writeFile(dir.file(driveFile), old);
        test::writeFile(dir.file(driveFile + ".old"), old);
        auto loop = test::LoopDevice::attach(dir.file(driveFile));
        if (!loop) return std::nullopt;
        auto opened = RawDiskBlockDevice::open(loop->path(), sectorBytes, driveBytes / sectorBytes,
                                               RawDiskBlockDevice::defaultMaxChunkSectors, BlockAccessMode::readWrite);
        if (auto* error = std::get_if<BlockError>(&opened)) {
            return DriveRun{std::move(*loop), {RawImageWriteResult::Aborted{"the test could not open the drive: " +
                                                                            render(*error)}}};
        }
        auto& drive = *std::get<std::unique_ptr<RawDiskBlockDevice>>(opened);
        FlippingDevice flipping(drive, flippedByte.value_or(-1));
        RawImageWriteResult result = writer.write(
            flipping, *source(name), true, [](RawWriteStage, std::optional<ByteProgress>) {}, isCancelled);
        drive.close();
        return DriveRun{std::move(*loop), std::move(result)};
    }

    std::shared_ptr<const RawImageSource> source(const std::string& name) const {
        return CompressedRawImageSource::forName(name, std::make_shared<FileRawImageSource>(dir.file(name).string()));
    }

    // The SHA-256 of the image as the tools decode it from `name`.
    std::string toolSha256(const std::string& name) const {
        const std::string decode = name.ends_with(".xz") ? "xz -dc " : name.ends_with(".gz") ? "gzip -dc " : "cat ";
        const test::CommandOutput sum = shell(decode + name + " | sha256sum");
        EXPECT_EQ(sum.exitCode, 0) << sum.output;
        return sum.output.substr(0, 64);
    }

    // `cmp` of `count` bytes of the device from `deviceOffset` against `file` from `fileOffset`.
    bool deviceMatches(const test::LoopDevice& loop, std::int64_t deviceOffset, const std::string& file,
                       std::int64_t fileOffset, std::int64_t count) const {
        const test::CommandOutput compared =
            shell("cmp -n " + std::to_string(count) + " -i " + std::to_string(deviceOffset) + ":" +
                  std::to_string(fileOffset) + " '" + loop.path() + "' " + file);
        EXPECT_EQ(compared.output, "");
        return compared.exitCode == 0;
    }

    test::TempDir dir;
    std::vector<std::uint8_t> image;
};

const RawImageWriteReport* reportOf(const RawImageWriteResult& result) {
    const auto* completed = std::get_if<RawImageWriteResult::Completed>(&result.value);
    EXPECT_NE(completed, nullptr) << ::testing::PrintToString(result);
    return completed == nullptr ? nullptr : &completed->report;
}

TEST_F(RawImageWriterOnLoopDevice, WritesEachImageAsTheToolsDecodeItAndVerifiesAgainstTheMedium) {
    constexpr std::int64_t driveBytes = 2 << 20;
    const std::int64_t padding = sectorBytes - imageBytes() % sectorBytes;
    const std::int64_t written = imageBytes() + padding;
    for (const std::string& name : imageNames) {
        SCOPED_TRACE(name);
        const auto run = writeOnDrive(name, name + ".drive", driveBytes);
        if (!run) GTEST_SKIP() << "no free loop device";
        const RawImageWriteReport* report = reportOf(run->result);
        ASSERT_NE(report, nullptr);
        EXPECT_TRUE(report->overallSuccess()) << ::testing::PrintToString(run->result);
        EXPECT_EQ(report->verification(), RawWriteVerification::medium);
        EXPECT_EQ(report->imageBytes, imageBytes());
        EXPECT_EQ(report->sectorsWritten, written / sectorBytes);
        EXPECT_EQ(report->paddingBytes(), padding);
        EXPECT_EQ(report->imageSha256, toolSha256(name));
        EXPECT_TRUE(report->notes.empty()) << ::testing::PrintToString(report->notes);
        // The image, then zeros to the end of its last sector, then the drive's old bytes.
        EXPECT_TRUE(deviceMatches(run->loop, 0, "disk.img", 0, imageBytes()));
        EXPECT_TRUE(deviceMatches(run->loop, imageBytes(), "/dev/zero", 0, padding));
        EXPECT_TRUE(deviceMatches(run->loop, written, name + ".drive.old", written, driveBytes - written));
    }
}

TEST_F(RawImageWriterOnLoopDevice, AnImageLargerThanTheDeviceIsRefused) {
    constexpr std::int64_t driveBytes = 512 * 1024;  // one write chunk
    for (const std::string& name : imageNames) {
        SCOPED_TRACE(name);
        const auto run = writeOnDrive(name, name + ".small", driveBytes);
        if (!run) GTEST_SKIP() << "no free loop device";
        if (name == "disk.img") {
            // Its size is known beforehand: refused before a sector is touched.
            EXPECT_EQ(run->result, (RawImageWriteResult{RawImageWriteResult::Aborted{
                                       "image (" + std::to_string(imageBytes()) + " bytes) is larger than the device (" +
                                       std::to_string(driveBytes) + " bytes)"}}));
            EXPECT_TRUE(deviceMatches(run->loop, 0, name + ".small.old", 0, driveBytes));
            continue;
        }
        // A compressed image's size shows only while it is decoded: what fits is written,
        // then the write fails instead of running off the end of the drive.
        const RawImageWriteReport* report = reportOf(run->result);
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->writeOk, false);
        EXPECT_FALSE(report->overallSuccess());
        EXPECT_EQ(report->sectorsWritten, driveBytes / sectorBytes);
        EXPECT_EQ(report->imageSha256, std::nullopt);
        EXPECT_EQ(report->flushOk, std::nullopt);
        EXPECT_EQ(report->notes, std::vector<std::string>{"image is larger than the device (" +
                                                          std::to_string(driveBytes) + " bytes)"});
        EXPECT_TRUE(deviceMatches(run->loop, 0, "disk.img", 0, driveBytes));
    }
}

TEST_F(RawImageWriterOnLoopDevice, AMediumThatChangesAByteFailsTheVerification) {
    constexpr std::int64_t driveBytes = 1 << 20;
    for (const std::string& name : imageNames) {
        SCOPED_TRACE(name);
        // In the second read-back chunk.
        const auto run = writeOnDrive(name, name + ".drive", driveBytes, RawImageWriter(), [] { return false; }, 600'001);
        if (!run) GTEST_SKIP() << "no free loop device";
        const RawImageWriteReport* report = reportOf(run->result);
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->writeOk, true);
        EXPECT_EQ(report->flushOk, true);
        EXPECT_EQ(report->verifyOk, false);
        EXPECT_FALSE(report->overallSuccess());
        EXPECT_EQ(report->verification(), RawWriteVerification::none);
        const std::string expected = toolSha256(name);
        EXPECT_EQ(report->imageSha256, expected);
        ASSERT_EQ(report->notes.size(), 2U);
        // Byte 600,001 is in sector 1171, in the second chunk of 1024 sectors, the last (to 1400).
        EXPECT_EQ(report->notes[0], "read-back differs from the written image in sectors 1024 to 1400");
        const std::string& note = report->notes[1];
        EXPECT_TRUE(note.starts_with("read-back SHA-256 ")) << note;
        EXPECT_TRUE(note.ends_with(" != written image's " + expected)) << note;
        EXPECT_EQ(note.find(expected), note.size() - expected.size()) << "the read-back hash must differ";
        // The drive itself holds the image: only what was read back was wrong.
        EXPECT_TRUE(deviceMatches(run->loop, 0, "disk.img", 0, imageBytes()));
    }
}

TEST_F(RawImageWriterOnLoopDevice, CancellingBetweenChunksStopsTheWrite) {
    constexpr std::int64_t driveBytes = 1 << 20;
    constexpr std::int64_t chunkSectors = 64;
    constexpr int chunksBeforeCancel = 3;
    for (const std::string& name : imageNames) {
        SCOPED_TRACE(name);
        int checks = 0;
        const auto run = writeOnDrive(name, name + ".drive", driveBytes, RawImageWriter(chunkSectors),
                                      [&checks] { return ++checks > chunksBeforeCancel; });
        if (!run) GTEST_SKIP() << "no free loop device";
        const RawImageWriteReport* report = reportOf(run->result);
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->cancelledAtStage, RawWriteStage::write);
        EXPECT_TRUE(report->wasCancelled());
        EXPECT_FALSE(report->overallSuccess());
        EXPECT_EQ(report->writeOk, std::nullopt);
        EXPECT_EQ(report->flushOk, std::nullopt);
        EXPECT_EQ(report->verifyOk, std::nullopt);
        EXPECT_EQ(report->imageSha256, std::nullopt);
        const std::int64_t writtenBytes = chunksBeforeCancel * chunkSectors * sectorBytes;
        EXPECT_EQ(report->imageBytes, writtenBytes);
        EXPECT_EQ(report->sectorsWritten, writtenBytes / sectorBytes);
        // The chunks before the request are on the drive, nothing after them.
        EXPECT_TRUE(deviceMatches(run->loop, 0, "disk.img", 0, writtenBytes));
        EXPECT_TRUE(deviceMatches(run->loop, writtenBytes, name + ".drive.old", writtenBytes, driveBytes - writtenBytes));
    }
}

}  // namespace
}  // namespace marlowick
