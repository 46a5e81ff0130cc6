// Raw image writes through the helper program's own pipes: the frames as they come, the
// exit status, the cancel line at two moments, and the device compared with the image.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>

#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperWireCodec.hpp"
#include "HelperProgramSession.hpp"
#include "HelperTestDrive.hpp"

namespace marlowick {
namespace {

using Stage = HelperProgress::Stage;

// Bytes no compressor shrinks and no stale sector matches.
void writeNoise(const std::filesystem::path& path, std::size_t size, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        const std::uint64_t value = generator();
        std::memcpy(bytes.data() + at, &value, 8);
    }
    test::writeFile(path, bytes);
}

std::string writeCommand(const HelperDiskRef& disk, const std::filesystem::path& image) {
    return *encodeJson(HelperCommand{HelperCommand::WriteRawImage{disk, image.string(), true}});
}

// Every frame but the last is progress, the last is the one result; its report.
HelperDriveOperationReport reportAfterProgress(const std::vector<HelperWireFrame>& frames,
                                               std::vector<HelperProgress>& progress) {
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        const auto* frame = std::get_if<HelperWireFrame::Progress>(&frames[i].value);
        if (frame == nullptr) {
            ADD_FAILURE() << "frame " << i << " of " << frames.size() << " is not progress";
            continue;
        }
        progress.push_back(frame->progress);
    }
    if (frames.empty()) {
        ADD_FAILURE() << "no frames";
        return {};
    }
    const auto* last = std::get_if<HelperWireFrame::Result>(&frames.back().value);
    const auto* operation = last != nullptr ? std::get_if<HelperResult::DriveOperation>(&last->result.value) : nullptr;
    if (operation == nullptr) {
        ADD_FAILURE() << "the last frame is no drive operation result: " << ::testing::PrintToString(frames.back());
        return {};
    }
    return operation->report;
}

using HelperProgramWritesRaw = test::HelperTestDriveFixture;

struct CompressionCase {
    const char* name;
    const char* extension;
    const char* compressor;  // null: the image as it is
};

class HelperProgramWritesImages : public HelperProgramWritesRaw,
                                  public ::testing::WithParamInterface<CompressionCase> {};

TEST_P(HelperProgramWritesImages, ThatTheDeviceThenHolds) {
    const CompressionCase& c = GetParam();
    const std::filesystem::path image = drive->folder().file("image.img");
    // Not a whole number of write chunks, and not of sectors either.
    writeNoise(image, 5 * 1024 * 1024 + 3 * 512 + 100, 17);
    std::filesystem::path source = image;
    if (c.compressor != nullptr) {
        MARLOWICK_REQUIRE_TOOL(c.compressor);
        source = drive->folder().file(std::string("image.img.") + c.extension);
        const test::CommandOutput packed =
            test::runCommand(std::string(c.compressor) + " -c '" + image.string() + "' > '" + source.string() + "'");
        ASSERT_EQ(packed.exitCode, 0) << packed.output;
    }

    const test::HelperProgramRun run = test::runHelperProgram(writeCommand(drive->disk(), source));

    EXPECT_EQ(run.exitStatus, 0);
    std::vector<HelperProgress> progress;
    const HelperDriveOperationReport report = reportAfterProgress(test::framesOf(run.lines), progress);
    EXPECT_TRUE(report.completed && report.overallSuccess && !report.wasCancelled) << ::testing::PrintToString(report);
    ASSERT_FALSE(progress.empty());
    // Writing, flushing, then reading back, bytes never going back within a stage.
    std::vector<Stage> stages;
    std::int64_t lastBytes = 0;
    for (const HelperProgress& record : progress) {
        if (stages.empty() || stages.back() != record.stage) {
            stages.push_back(record.stage);
            lastBytes = 0;
        }
        EXPECT_GE(record.currentBytes.value_or(lastBytes), lastBytes);
        lastBytes = record.currentBytes.value_or(lastBytes);
    }
    EXPECT_EQ(stages, (std::vector<Stage>{Stage::writeRawImage, Stage::flush, Stage::verifyRawImage}));
    EXPECT_TRUE(drive->startsWith(image)) << "the device does not hold the image";
}

INSTANTIATE_TEST_SUITE_P(Images, HelperProgramWritesImages,
                         ::testing::Values(CompressionCase{"plain", "img", nullptr},
                                           CompressionCase{"gzip", "gz", "gzip"},
                                           CompressionCase{"xz", "xz", "xz"}),
                         test::CaseName{});

struct CancelCase {
    const char* name;
    bool withTheCommand;  // else after the first progress frame
};

class HelperProgramCancels : public HelperProgramWritesRaw, public ::testing::WithParamInterface<CancelCase> {};

// One result, marked cancelled, as the last line; exit status 0.
TEST_P(HelperProgramCancels, WithOneCancelledReport) {
    const std::filesystem::path image = drive->folder().file("large.img");
    writeNoise(image, 64 * 1024 * 1024, 29);
    const std::string command = writeCommand(drive->disk(), image);
    const std::string cancel(HelperLineCoding::cancelFrame);

    test::HelperProgramSession session;
    std::vector<std::string> lines;
    if (GetParam().withTheCommand) {
        session.send(command + "\n" + cancel);
    } else {
        session.send(command);
        if (auto first = session.nextLine()) {
            lines.push_back(*first);
            session.send(cancel);
        }
    }
    int exitStatus = -1;
    for (std::string& line : session.finish(exitStatus)) lines.push_back(std::move(line));

    EXPECT_EQ(exitStatus, 0);
    std::vector<HelperProgress> progress;
    const HelperDriveOperationReport report = reportAfterProgress(test::framesOf(lines), progress);
    EXPECT_TRUE(report.wasCancelled) << ::testing::PrintToString(report);
    EXPECT_FALSE(report.overallSuccess);
    if (!GetParam().withTheCommand) {
        EXPECT_FALSE(progress.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Moments, HelperProgramCancels,
                         ::testing::Values(CancelCase{"withTheCommand", true}, CancelCase{"afterFirstProgress", false}),
                         test::CaseName{});

// The application's runner turns its cancel flag into the cancel line.
TEST_F(HelperProgramWritesRaw, StopsWhenTheRunnersCallerCancels) {
    const std::filesystem::path image = drive->folder().file("large.img");
    writeNoise(image, 64 * 1024 * 1024, 37);
    std::atomic<bool> cancelled{false};
    std::vector<HelperProgress> progress;

    const HelperResult result = runner->run(
        HelperCommand{HelperCommand::WriteRawImage{drive->disk(), image.string(), true}},
        [&](const HelperProgress& record) {
            progress.push_back(record);
            cancelled = true;
        },
        [&] { return cancelled.load(); });

    const auto* operation = std::get_if<HelperResult::DriveOperation>(&result.value);
    ASSERT_NE(operation, nullptr) << ::testing::PrintToString(result);
    EXPECT_TRUE(operation->report.wasCancelled) << ::testing::PrintToString(result);
    EXPECT_FALSE(progress.empty());
}

// The application went away mid-write: the helper's next frame fails with EPIPE, which
// stops the write at its next chunk; the helper still ends normally.
TEST_F(HelperProgramWritesRaw, StopsWhenNobodyReadsItsFramesAnyMore) {
    constexpr std::int64_t imageBytes = 64 * 1024 * 1024;
    const std::filesystem::path image = drive->folder().file("large.img");
    writeNoise(image, imageBytes, 31);

    test::HelperProgramSession session;
    session.send(writeCommand(drive->disk(), image));
    ASSERT_TRUE(session.nextLine().has_value());
    session.closeOutput();
    int exitStatus = -1;
    (void)session.finish(exitStatus);

    EXPECT_EQ(exitStatus, 0);
    EXPECT_TRUE(drive->isZero(imageBytes - 1024 * 1024, 1024 * 1024)) << "the write went on to the end";
}

}  // namespace
}  // namespace marlowick
