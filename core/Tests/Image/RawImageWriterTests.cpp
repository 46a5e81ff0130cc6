#include "Image/RawImageWriter.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "Bytes/Sha256.hpp"
#include "Block/MemoryBlockDevice.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes randomBytes(std::size_t count, unsigned seed = 5) {
    Bytes bytes(count);
    std::mt19937 random(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() | 1);  // never zero, so padding shows
    return bytes;
}

// An image in memory that can declare a size of its choosing, fail to open or fail a read,
// and counts how often its streams are closed.
class ScriptedSource final : public RawImageSource {
public:
    Bytes bytes;
    std::optional<std::int64_t> declared;
    bool failOpen = false;
    std::optional<std::int64_t> failReadAfter;  // fail the first read that starts at or past this byte
    std::size_t maxRead = 700;                   // bytes one read delivers at most
    mutable int closes = 0;

    explicit ScriptedSource(Bytes image) : bytes(std::move(image)), declared(static_cast<std::int64_t>(bytes.size())) {}
    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override { return declared; }
    [[nodiscard]] RawImageOpenResult open() const override {
        if (failOpen) return RawImageOpenResult::failed("could not open disk.img for reading");
        return RawImageOpenResult::opened(std::make_unique<Stream>(*this));
    }

private:
    struct Stream final : RawImageStream {
        const ScriptedSource& source;
        std::size_t position = 0;
        explicit Stream(const ScriptedSource& owner) : source(owner) {}
        void close() override { ++source.closes; }
        RawImageReadResult readSome(std::span<std::uint8_t> destination) override {
            if (source.failReadAfter && static_cast<std::int64_t>(position) >= *source.failReadAfter) {
                return RawImageReadResult::failed("read failed: errno 5 (Input/output error)");
            }
            // Short counts on purpose.
            const std::size_t count = std::min({destination.size(), source.bytes.size() - position, source.maxRead});
            if (count == 0) return RawImageReadResult::endOfStream();
            std::copy_n(source.bytes.begin() + static_cast<std::ptrdiff_t>(position), count, destination.begin());
            position += count;
            return RawImageReadResult::bytes(static_cast<std::int64_t>(count));
        }
    };
};

// A memory drive (pre-filled with 0xFF) with scripted faults.
class ScriptedDevice final : public BlockDevice {
public:
    MemoryBlockDevice memory;
    std::optional<std::int64_t> failWriteAt, failReadAt;
    std::optional<std::int64_t> corruptReadAt;  // this sector reads back with one byte changed
    std::optional<BlockFlushResult> flushAnswer;
    bool dropWrites = false;  // a drive that acknowledges writes it never stores
    int writes = 0;

    ScriptedDevice(std::int64_t sectors, int sectorSize) : memory(sectors, sectorSize) {
        std::fill(memory.mutableBytes().begin(), memory.mutableBytes().end(), std::uint8_t{0xFF});
    }
    [[nodiscard]] int sectorSize() const override { return memory.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return memory.sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t start, std::int64_t count) override {
        if (failReadAt && start <= *failReadAt && *failReadAt < start + count) {
            return BlockError{BlockError::DeviceFailure{"read", "errno 5 (Input/output error)"}};
        }
        BlockReadResult read = memory.readSectors(start, count);
        if (auto* data = std::get_if<BlockReadSuccess>(&read); data && corruptReadAt && start <= *corruptReadAt &&
                                                             *corruptReadAt < start + count) {
            data->data[static_cast<std::size_t>((*corruptReadAt - start) * memory.sectorSize() + 7)] ^= 0x10;
        }
        return read;
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t start, const std::vector<std::uint8_t>& data) override {
        ++writes;
        const auto sectors = static_cast<std::int64_t>(data.size()) / memory.sectorSize();
        if (failWriteAt && start <= *failWriteAt && *failWriteAt < start + sectors) {
            return BlockError{BlockError::DeviceFailure{"write", "errno 28 (No space left on device)"}};
        }
        if (dropWrites) return BlockWriteSuccess{sectors};
        return memory.writeSectors(start, data);
    }
    [[nodiscard]] BlockFlushResult flush() override { return flushAnswer ? *flushAnswer : memory.flush(); }
    void close() override { memory.close(); }
};

struct Progress {
    RawWriteStage stage;
    std::optional<ByteProgress> bytes;
    bool operator==(const Progress&) const = default;
};

// Runs the writer, recording progress; `cancelAfterPolls` answers true from that poll on.
struct WriterRun {
    std::vector<Progress> progress;
    int polls = 0;
    RawImageWriteResult result;

    WriterRun(ScriptedDevice& device, const RawImageSource& source, bool verify, std::int64_t chunkSectors = 4,
        int cancelAfterPolls = -1)
        : result(RawImageWriter(chunkSectors)
                     .write(
                         device, source, verify,
                         [this](RawWriteStage stage, std::optional<ByteProgress> bytes) {
                             progress.push_back({stage, bytes});
                         },
                         [this, cancelAfterPolls] {
                             const int poll = polls++;
                             return cancelAfterPolls >= 0 && poll >= cancelAfterPolls;
                         })) {}

    [[nodiscard]] const RawImageWriteReport& report() const {
        return std::get<RawImageWriteResult::Completed>(result.value).report;
    }
};

TEST(RawImageWriter, WritesPadsFlushesAndVerifiesAgainstTheMedium) {
    ScriptedDevice device(64, 512);
    const ScriptedSource source(randomBytes(1000));
    const WriterRun run(device, source, true);
    const RawImageWriteReport& r = run.report();
    EXPECT_TRUE(r.overallSuccess());
    EXPECT_EQ(r.verification(), RawWriteVerification::medium);
    EXPECT_TRUE(r.verifiedAgainstMedium());
    EXPECT_EQ(r.imageBytes, 1000);
    EXPECT_EQ(r.sectorsWritten, 2);
    EXPECT_EQ(r.paddingBytes(), 24);
    EXPECT_EQ(r.capacityBytes, 64 * 512);
    EXPECT_EQ(r.imageSha256, Sha256::hex(source.bytes));
    EXPECT_TRUE(r.notes.empty());
    Bytes expected = source.bytes;
    expected.resize(1024, 0);  // the last sector is padded with zeros
    expected.resize(64 * 512, 0xFF);
    EXPECT_TRUE(device.memory.bytes() == expected);
    const std::vector<Progress> progress{{RawWriteStage::write, ByteProgress{1000, 1000}},
                                         {RawWriteStage::flush, std::nullopt},
                                         {RawWriteStage::verify, ByteProgress{1000, 1000}}};
    EXPECT_EQ(run.progress, progress);
    EXPECT_EQ(source.closes, 1);
}

// Chunks travel between the threads several to a buffer: the image may end inside a
// buffer, at its end, or a whole buffer later.
TEST(RawImageWriter, AnImageOfWholeChunksEndsWithOneEmptyFill) {
    for (const std::int64_t chunks : {2, 8, 16, 17}) {
        SCOPED_TRACE(chunks);
        ScriptedDevice device(128, 512);
        const ScriptedSource source(randomBytes(chunks * 4 * 512));
        const WriterRun run(device, source, true);
        EXPECT_TRUE(run.report().overallSuccess());
        EXPECT_EQ(run.report().sectorsWritten, chunks * 4);
        EXPECT_EQ(device.writes, chunks);
        EXPECT_EQ(run.polls, (chunks + 1) + chunks);  // every fill with the empty one, every read-back chunk
        std::vector<Progress> expected;
        for (const RawWriteStage stage : {RawWriteStage::write, RawWriteStage::verify}) {
            for (std::int64_t chunk = 1; chunk <= chunks; ++chunk) {
                expected.push_back({stage, ByteProgress{chunk * 2048, chunks * 2048}});
            }
            if (stage == RawWriteStage::write) expected.push_back({RawWriteStage::flush, std::nullopt});
        }
        EXPECT_EQ(run.progress, expected);
    }
}

TEST(RawImageWriter, RefusesBeforeTouchingTheDrive) {
    ScriptedSource empty(randomBytes(10));
    empty.declared = 0;
    ScriptedSource tooBig(randomBytes(10));
    tooBig.declared = 16 * 512 + 1;
    const struct {
        const ScriptedSource& source;
        const char* reason;
    } cases[] = {{empty, "image is empty (0 bytes)"},
                 {tooBig, "image (8193 bytes) is larger than the device (8192 bytes)"}};
    for (const auto& c : cases) {
        ScriptedDevice device(16, 512);
        const RawImageWriteResult aborted{RawImageWriteResult::Aborted{c.reason}};
        EXPECT_EQ(WriterRun(device, c.source, true).result, aborted);
        EXPECT_EQ(device.writes, 0);
        EXPECT_EQ(c.source.closes, 0);
    }
}

// A run that stops with a failure: the flags it leaves and its last note.
struct FailureCase {
    const char* name;
    std::function<void(ScriptedSource&, ScriptedDevice&)> script;
    std::optional<bool> writeOk, flushOk, verifyOk;
    std::string lastNote;
    std::int64_t sectorsWritten;
};

TEST(RawImageWriter, StopsAtTheFirstFailureWithItsNote) {
    const BlockError closedForFlush{BlockError::Closed{"flush"}};
    const FailureCase cases[] = {
        {"openFails", [](auto& s, auto&) { s.failOpen = true; }, false, std::nullopt, std::nullopt,
         "source could not be opened: could not open disk.img for reading", 0},
        {"readFails", [](auto& s, auto&) { s.failReadAfter = 2100; }, false, std::nullopt, std::nullopt,
         "source read failed after 2048 bytes: read failed: errno 5 (Input/output error)", 4},
        {"undeclaredOverrun", [](auto& s, auto&) { s.bytes = randomBytes(16 * 512 + 1); s.declared.reset(); },
         false, std::nullopt, std::nullopt, "image is larger than the device (8192 bytes)", 16},
        {"undeclaredEmpty", [](auto& s, auto&) { s.bytes.clear(); s.declared.reset(); }, false, std::nullopt,
         std::nullopt, "image is empty (source stream held no bytes)", 0},
        {"shorterThanDeclared", [](auto& s, auto&) { s.declared = 5000; }, false, std::nullopt, std::nullopt,
         "source ended early: 3000 of 5000 bytes", 6},
        {"longerThanDeclared", [](auto& s, auto&) { s.declared = 2000; }, false, std::nullopt, std::nullopt,
         "source was longer than declared: 3000 of 2000 bytes", 6},
        {"writeFails", [](auto&, auto& d) { d.failWriteAt = 5; }, false, std::nullopt, std::nullopt,
         "write failed at sector 4: deviceFailure(operation: \"write\", detail: \"errno 28 (No space left on device)\")", 4},
        {"flushFails", [&](auto&, auto& d) { d.flushAnswer = closedForFlush; }, true, false, std::nullopt,
         "flush failed: closed(operation: \"flush\")", 6},
        {"readBackFails", [](auto&, auto& d) { d.failReadAt = 5; }, true, true, false,
         "read-back failed at sector 4: deviceFailure(operation: \"read\", detail: \"errno 5 (Input/output error)\")", 6},
        {"readBackDiffers", [](auto&, auto& d) { d.dropWrites = true; }, true, true, false, "", 6},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSource source(randomBytes(3000));
        ScriptedDevice device(16, 512);
        c.script(source, device);
        const WriterRun run(device, source, true);
        const RawImageWriteReport& r = run.report();
        EXPECT_FALSE(r.overallSuccess());
        EXPECT_FALSE(r.wasCancelled());
        EXPECT_EQ(r.writeOk, c.writeOk);
        EXPECT_EQ(r.flushOk, c.flushOk);
        EXPECT_EQ(r.verifyOk, c.verifyOk);
        EXPECT_EQ(r.sectorsWritten, c.sectorsWritten);
        EXPECT_EQ(r.imageSha256.has_value(), c.writeOk == true);
        EXPECT_EQ(r.verification(), RawWriteVerification::none);
        ASSERT_FALSE(r.notes.empty());
        const std::string expected = c.lastNote.empty() ? "read-back SHA-256 " + Sha256::hex(Bytes(3000, 0xFF)) +
                                                              " != written image's " + Sha256::hex(source.bytes)
                                                        : c.lastNote;
        EXPECT_EQ(r.notes.back(), expected);
        EXPECT_EQ(source.closes, source.failOpen ? 0 : 1);
    }
}

TEST(RawImageWriter, AFlushNotHonouredLeavesTheVerificationUncertain) {
    for (const bool verify : {true, false}) {
        SCOPED_TRACE(verify);
        ScriptedDevice device(16, 512);
        device.flushAnswer = BlockFlushNotHonoured{"the drive ignored the cache flush"};
        const ScriptedSource source(randomBytes(3000));
        const RawImageWriteReport r = WriterRun(device, source, verify).report();
        EXPECT_TRUE(r.overallSuccess());
        EXPECT_EQ(r.flushHonoured, false);
        EXPECT_EQ(r.verification(), verify ? RawWriteVerification::cacheUncertain : RawWriteVerification::none);
        const std::vector<std::string> notes{
            "flush not honoured — the read-back may be served from the drive's cache: the drive ignored the cache flush"};
        EXPECT_EQ(r.notes, notes);
        EXPECT_EQ(r.verifyOk, verify ? std::optional<bool>(true) : std::nullopt);
    }
}

TEST(RawImageWriter, StopsWhereCancelled) {
    const ScriptedSource source(randomBytes(5000));
    ScriptedDevice atWrite(16, 512);
    const WriterRun write(atWrite, source, true, 4, 1);  // after the first chunk
    EXPECT_EQ(write.report().cancelledAtStage, RawWriteStage::write);
    EXPECT_EQ(write.report().writeOk, std::nullopt);
    EXPECT_EQ(write.report().sectorsWritten, 4);
    EXPECT_EQ(write.report().imageSha256, std::nullopt);
    EXPECT_EQ(source.closes, 1);

    ScriptedDevice atVerify(16, 512);
    const WriterRun verify(atVerify, source, true, 4, 4);  // three fills, then one read-back chunk
    const RawImageWriteReport& r = verify.report();
    // Chunks are read back ahead of their comparison, so the cancel may come before the
    // first chunk is reported; never past what was read before it.
    for (const Progress& step : verify.progress) {
        if (step.stage == RawWriteStage::verify) {
            EXPECT_LE(step.bytes->currentBytes, 2048);
        }
    }
    EXPECT_EQ(r.cancelledAtStage, RawWriteStage::verify);
    EXPECT_TRUE(r.wasCancelled());
    EXPECT_FALSE(r.overallSuccess());
    EXPECT_EQ(r.writeOk, true);
    EXPECT_EQ(r.flushOk, true);
    EXPECT_EQ(r.flushHonoured, true);
    EXPECT_EQ(r.verifyOk, std::nullopt);
}

// One-sector chunks, so that many are in flight between the reader, the writer, the hash
// and the digests when something happens deep in the image.
struct RingCase {
    const char* name;
    std::function<void(ScriptedSource&, ScriptedDevice&)> script;
    int cancelAfterPolls;
    std::optional<bool> writeOk, verifyOk;
    std::int64_t sectorsWritten;
    std::vector<std::string> notes;  // "<read-back>" stands for the SHA-256 of what the device reads back
};

TEST(RawImageWriter, KeepsOrderAndStopsCleanlyDeepInTheRing) {
    constexpr std::int64_t imageSectors = 200;
    const Bytes image = randomBytes(imageSectors * 512 - 100, 9);
    const std::string imageHash = Sha256::hex(image);
    const RingCase cases[] = {
        {"oneBytePerRead", [](auto& s, auto&) { s.maxRead = 1; }, -1, true, true, imageSectors, {}},
        {"writeFails", [](auto&, auto& d) { d.failWriteAt = 150; }, -1, false, std::nullopt, 150,
         {"write failed at sector 150: deviceFailure(operation: \"write\", detail: \"errno 28 (No space left on device)\")"}},
        {"sourceFails", [](auto& s, auto&) { s.failReadAfter = 120 * 512; }, -1, false, std::nullopt, 120,
         {"source read failed after 61440 bytes: read failed: errno 5 (Input/output error)"}},
        // The whole chunks read before the failure are written, the one it cut short is not.
        {"sourceFailsInsideAChunk", [](auto& s, auto&) { s.failReadAfter = 123 * 512 + 100; }, -1, false,
         std::nullopt, 124, {"source read failed after 63488 bytes: read failed: errno 5 (Input/output error)"}},
        {"cancelledWriting", [](auto&, auto&) {}, 100, std::nullopt, std::nullopt, 100, {}},
        {"readBackFails", [](auto&, auto& d) { d.failReadAt = 190; }, -1, true, false, imageSectors,
         {"read-back failed at sector 190: deviceFailure(operation: \"read\", detail: \"errno 5 (Input/output error)\")"}},
        {"aMiddleChunkDiffers", [](auto&, auto& d) { d.corruptReadAt = 101; }, -1, true, false, imageSectors,
         {"read-back differs from the written image in sectors 101 to 101",
          "read-back SHA-256 <read-back> != written image's " + imageHash}},
        {"lastChunkDiffers", [](auto&, auto& d) { d.corruptReadAt = imageSectors - 1; }, -1, true, false, imageSectors,
         {"read-back differs from the written image in sectors 199 to 199",
          "read-back SHA-256 <read-back> != written image's " + imageHash}},
    };
    for (const RingCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSource source(image);
        ScriptedDevice device(256, 512);
        c.script(source, device);
        const WriterRun run(device, source, true, 1, c.cancelAfterPolls);
        const RawImageWriteReport& r = run.report();
        EXPECT_EQ(r.writeOk, c.writeOk);
        EXPECT_EQ(r.verifyOk, c.verifyOk);
        EXPECT_EQ(r.sectorsWritten, c.sectorsWritten);
        EXPECT_EQ(r.wasCancelled(), c.cancelAfterPolls >= 0);
        EXPECT_EQ(r.imageSha256, c.writeOk == true ? std::optional<std::string>(imageHash) : std::nullopt);
        std::vector<std::string> notes = c.notes;
        for (std::string& note : notes) {
            if (const auto at = note.find("<read-back>"); at != std::string::npos) {
                const auto read = std::get<BlockReadSuccess>(device.readSectors(0, imageSectors)).data;
                note.replace(at, 11, Sha256::hex(std::span(read).first(image.size())));
            }
        }
        EXPECT_EQ(r.notes, notes);
        EXPECT_EQ(source.closes, 1);
        // Whatever was written went to its place, in order, and nothing after it.
        Bytes expected = image;
        expected.resize(imageSectors * 512, 0);
        expected.resize(static_cast<std::size_t>(r.sectorsWritten * 512));
        expected.resize(256 * 512, 0xFF);
        EXPECT_TRUE(device.memory.bytes() == expected);
        // Progress never goes back within a stage.
        std::int64_t last = 0;
        std::optional<RawWriteStage> stage;
        for (const Progress& step : run.progress) {
            if (step.stage != stage) last = 0;
            stage = step.stage;
            if (step.bytes) {
                EXPECT_GE(step.bytes->currentBytes, last);
                last = step.bytes->currentBytes;
            }
        }
    }
}

TEST(RawImageWriter, RejectsAChunkOfNoSectors) {
    EXPECT_THROW(RawImageWriter(0), std::invalid_argument);
    EXPECT_EQ(RawImageWriter().writeChunkSectors, 1024);
}

}  // namespace
}  // namespace marlowick
