#include "Block/RawDiskBlockDevice.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <numeric>

#include "Block/ScriptedDiskCalls.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Step = test::ScriptedDiskCalls::Step;
using Call = test::ScriptedDiskCalls::Call;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 512);
    return bytes;
}

template <class Result>
std::string errorText(const Result& result) {
    const auto* error = std::get_if<BlockError>(&result);
    return error == nullptr ? "no error" : render(*error);
}

// A 16-sector file of 512-byte sectors, opened through a scripted seam.
class RawDiskFile : public ::testing::Test {
protected:
    void SetUp() override { test::createSparseFile(path, 16 * 512); }

    std::unique_ptr<RawDiskBlockDevice> open(BlockAccessMode access = BlockAccessMode::readWrite, int maxChunk = 4) {
        auto result = RawDiskBlockDevice::open(path.string(), 512, 16, maxChunk, access, calls);
        if (auto* error = std::get_if<BlockError>(&result)) {
            ADD_FAILURE() << render(*error);
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<RawDiskBlockDevice>>(result));
    }

    test::TempDir dir;
    std::filesystem::path path = dir.file("disk.img");
    std::shared_ptr<test::ScriptedDiskCalls> calls = std::make_shared<test::ScriptedDiskCalls>();
};

TEST_F(RawDiskFile, WritesAndReadsInChunksOfTheDevicesLimit) {
    for (const bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "direct I/O" : "buffered");
        calls->allowDirectIo = direct;
        calls->writes.clear();
        calls->reads.clear();
        auto device = open();
        ASSERT_TRUE(device);
        const auto data = pattern(9 * 512, direct ? 3 : 5);
        const BlockWriteResult written = device->writeSectors(5, data);
        EXPECT_EQ(written, BlockWriteResult{BlockWriteSuccess{9}});
        const std::vector<Call> chunks{{5 * 512, 2048}, {9 * 512, 2048}, {13 * 512, 512}};
        EXPECT_EQ(calls->writes, chunks);
        EXPECT_EQ(device->flush(), BlockFlushResult{BlockFlushSuccess{}});

        const BlockReadResult read = device->readSectors(5, 9);
        ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(read)) << errorText(read);
        EXPECT_EQ(std::get<BlockReadSuccess>(read).data, data);
        EXPECT_EQ(calls->reads, chunks);
        device->close();
        const auto onDisk = test::readFile(path);
        EXPECT_EQ(std::vector<std::uint8_t>(onDisk.begin() + 5 * 512, onDisk.begin() + 14 * 512), data);
        EXPECT_EQ(std::vector<std::uint8_t>(onDisk.begin(), onDisk.begin() + 5 * 512),
                  std::vector<std::uint8_t>(5 * 512, 0));
    }
}

TEST_F(RawDiskFile, UsesDirectIoWhereTheFileSystemAllowsIt) {
    calls->allowDirectIo = true;
    auto direct = open();
    ASSERT_TRUE(direct);
    // ext4 and xfs under the test directory do direct I/O; a file system that cannot is tested below.
    if (!direct->usesDirectIo()) GTEST_SKIP() << "the test directory's file system has no direct I/O";
    EXPECT_EQ(direct->writeSectors(15, pattern(512, 1)), BlockWriteResult{BlockWriteSuccess{1}});

    calls->allowDirectIo = false;
    auto buffered = open(BlockAccessMode::readOnly);
    ASSERT_TRUE(buffered);
    EXPECT_FALSE(buffered->usesDirectIo());
    EXPECT_EQ(std::get<BlockReadSuccess>(buffered->readSectors(15, 1)).data, pattern(512, 1));
}

TEST_F(RawDiskFile, ReadWriteOpenOfARegularFileIsNotExclusive) {
    auto first = open();
    EXPECT_EQ(calls->lastOpenFlags & O_EXCL, 0);
    EXPECT_EQ(calls->lastOpenFlags & O_ACCMODE, O_RDWR);
    auto second = open();
    EXPECT_TRUE(first && second);
    auto reader = open(BlockAccessMode::readOnly);
    EXPECT_EQ(calls->lastOpenFlags & O_ACCMODE, O_RDONLY);
}

struct OpenRefusal {
    const char* name;
    int sectorSize;
    std::int64_t sectorCount;
    int maxChunk;
    const char* error;  // <path> stands for the file's path
};

class RawDiskOpenRefuses : public ::testing::TestWithParam<OpenRefusal> {};

TEST_P(RawDiskOpenRefuses, WithAFailureAndNothingOpened) {
    const OpenRefusal& c = GetParam();
    test::TempDir dir;
    const auto path = dir.file("disk.img");
    test::createSparseFile(path, 4096);
    auto calls = std::make_shared<test::ScriptedDiskCalls>();
    const auto result = RawDiskBlockDevice::open(path.string(), c.sectorSize, c.sectorCount, c.maxChunk,
                                                 BlockAccessMode::readWrite, calls);
    std::string expected = c.error;
    if (const auto at = expected.find("<path>"); at != std::string::npos) expected.replace(at, 6, path.string());
    EXPECT_EQ(errorText(result), expected);
    EXPECT_EQ(calls->opens, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Block, RawDiskOpenRefuses,
    ::testing::Values(
        OpenRefusal{"zeroSectors", 512, 0, 64, "invalidSectorCount(sectorCount: 0)"},
        OpenRefusal{"negativeSectors", 512, -8, 64, "invalidSectorCount(sectorCount: -8)"},
        OpenRefusal{"zeroSectorSize", 0, 8, 64,
                    "deviceFailure(operation: \"open\", detail: \"open <path>: sector size 0 is below 1\")"},
        OpenRefusal{"zeroChunk", 512, 8, 0,
                    "deviceFailure(operation: \"open\", detail: \"open <path>: chunk limit 0 is outside 1 to 65535\")"},
        OpenRefusal{"chunkPast16Bits", 512, 8, 65536,
                    "deviceFailure(operation: \"open\", detail: \"open <path>: chunk limit 65536 is outside 1 to "
                    "65535\")"},
        OpenRefusal{"byteSizePast64Bits", 4096, INT64_MAX / 4096 + 1, 64,
                    "deviceFailure(operation: \"open\", detail: \"open <path>: 2251799813685248 sectors of 4096 "
                    "bytes do not fit in a 64-bit byte size\")"}),
    test::CaseName{});

TEST(RawDiskOpen, ReportsTheErrnoOfAFailedOpen) {
    test::TempDir dir;
    const std::string missing = dir.file("missing").string();
    EXPECT_EQ(errorText(RawDiskBlockDevice::open(missing, 512, 8, 64, BlockAccessMode::readOnly)),
              "deviceFailure(operation: \"open\", detail: \"open " + missing +
                  ": errno 2 (No such file or directory)\")");

    const std::string file = dir.file("disk.img").string();
    test::createSparseFile(file, 4096);
    auto calls = std::make_shared<test::ScriptedDiskCalls>();
    calls->openErrno = EACCES;
    EXPECT_EQ(errorText(RawDiskBlockDevice::open(file, 512, 8, 64, BlockAccessMode::readWrite, calls)),
              "deviceFailure(operation: \"open\", detail: \"open " + file + ": errno 13 (Permission denied)\")");
}

struct RejectCase {
    const char* name;
    BlockAccessMode access;
    bool closeFirst;
    bool isWrite;
    std::int64_t start;
    std::int64_t count;  // sectors to read, or bytes to write
    const char* error;
};

class RawDiskRejects : public RawDiskFile, public ::testing::WithParamInterface<RejectCase> {};

TEST_P(RawDiskRejects, WithTheFirstFailingCheckBeforeAnySystemCall) {
    const RejectCase& c = GetParam();
    auto device = open(c.access);
    ASSERT_TRUE(device);
    if (c.closeFirst) device->close();
    if (c.isWrite) {
        EXPECT_EQ(errorText(device->writeSectors(c.start, std::vector<std::uint8_t>(static_cast<std::size_t>(c.count)))),
                  c.error);
    } else {
        EXPECT_EQ(errorText(device->readSectors(c.start, c.count)), c.error);
    }
    EXPECT_TRUE(calls->reads.empty() && calls->writes.empty());
}

constexpr auto rw = BlockAccessMode::readWrite;
constexpr auto ro = BlockAccessMode::readOnly;
INSTANTIATE_TEST_SUITE_P(
    Block, RawDiskRejects,
    ::testing::Values(
        RejectCase{"readZeroBeforeNegative", rw, false, false, -1, 0, "invalidSectorCount(sectorCount: 0)"},
        RejectCase{"readNegative", rw, false, false, -1, 1, "negativeSector(startSector: -1)"},
        RejectCase{"readPastEnd", rw, false, false, 15, 2,
                   "outOfBounds(startSector: 15, sectorCount: 2, deviceSectorCount: 16)"},
        RejectCase{"readHugeCount", ro, false, false, 2, INT64_MAX,
                   "outOfBounds(startSector: 2, sectorCount: 9223372036854775807, deviceSectorCount: 16)"},
        RejectCase{"readClosed", rw, true, false, -1, 0, "closed(operation: \"read\")"},
        RejectCase{"writeReadOnlyBeforeLength", ro, false, true, 0, 0,
                   "deviceFailure(operation: \"write\", detail: \"device opened read-only\")"},
        RejectCase{"writeClosedReadOnly", ro, true, true, 0, 512, "closed(operation: \"write\")"},
        RejectCase{"writeEmpty", rw, false, true, 0, 0, "misalignedLength(length: 0, sectorSize: 512)"},
        RejectCase{"write513", rw, false, true, 0, 513, "misalignedLength(length: 513, sectorSize: 512)"},
        RejectCase{"writeNegative", rw, false, true, -3, 512, "negativeSector(startSector: -3)"},
        RejectCase{"writeOnePastLast", rw, false, true, 16, 512,
                   "outOfBounds(startSector: 16, sectorCount: 1, deviceSectorCount: 16)"}),
    test::CaseName{});

TEST_F(RawDiskFile, WritesTheLastSectorExactly) {
    auto device = open();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->writeSectors(15, pattern(512, 9)), BlockWriteResult{BlockWriteSuccess{1}});
    EXPECT_EQ(std::get<BlockReadSuccess>(device->readSectors(15, 1)).data, pattern(512, 9));
}

TEST_F(RawDiskFile, ContinuesPartialTransfersUntilTheChunkIsWhole) {
    for (const bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "direct I/O" : "buffered");
        calls->allowDirectIo = direct;
        auto device = open();
        ASSERT_TRUE(device);
        const auto data = pattern(6 * 512, 11);
        // Partial answers stay whole sectors, as a block device gives them.
        calls->writeScript = {Step::upTo(512), Step::upTo(1024)};
        calls->writes.clear();
        EXPECT_EQ(device->writeSectors(2, data), BlockWriteResult{BlockWriteSuccess{6}});
        const std::vector<Call> writes{{1024, 2048}, {1536, 1536}, {2560, 512}, {3072, 1024}};
        EXPECT_EQ(calls->writes, writes);

        calls->readScript = {Step::real(), Step::upTo(512)};
        calls->reads.clear();
        const BlockReadResult read = device->readSectors(2, 6);
        ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(read)) << errorText(read);
        EXPECT_EQ(std::get<BlockReadSuccess>(read).data, data);
        const std::vector<Call> reads{{1024, 2048}, {3072, 1024}, {3584, 512}};
        EXPECT_EQ(calls->reads, reads);
    }
}

struct TransferFault {
    const char* name;
    bool isWrite;
    std::vector<Step> script;
    const char* error;
};

class RawDiskTransferFaults : public RawDiskFile, public ::testing::WithParamInterface<TransferFault> {};

// Sectors 2…7 in chunks of four: (2, 4) then (6, 2). The texts name the failing chunk.
TEST_P(RawDiskTransferFaults, EndTheTransferWithATextNamingTheChunk) {
    const TransferFault& c = GetParam();
    auto device = open();
    ASSERT_TRUE(device);
    (c.isWrite ? calls->writeScript : calls->readScript).assign(c.script.begin(), c.script.end());
    if (c.isWrite) {
        EXPECT_EQ(errorText(device->writeSectors(2, pattern(6 * 512, 1))), c.error);
    } else {
        EXPECT_EQ(errorText(device->readSectors(2, 6)), c.error);
    }
    EXPECT_TRUE((c.isWrite ? calls->writeScript : calls->readScript).empty()) << "stopped before the script ran out";
}

INSTANTIATE_TEST_SUITE_P(
    Block, RawDiskTransferFaults,
    ::testing::Values(
        TransferFault{"readErrnoInFirstChunk", false, {Step::error(EIO)},
                      "deviceFailure(operation: \"read\", detail: \"lba 2: errno 5 (Input/output error)\")"},
        TransferFault{"readErrnoInSecondChunkNotRetried", false, {Step::real(), Step::error(EINTR)},
                      "deviceFailure(operation: \"read\", detail: \"lba 6: errno 4 (Interrupted system call)\")"},
        TransferFault{"shortReadAfterPart", false, {Step::real(), Step::upTo(512), Step::zero()},
                      "deviceFailure(operation: \"read\", detail: \"lba 6 count 2: short read, got 512/1024 bytes\")"},
        TransferFault{"shortReadAtOnce", false, {Step::zero()},
                      "deviceFailure(operation: \"read\", detail: \"lba 2 count 4: short read, got 0/2048 bytes\")"},
        TransferFault{"writeErrnoInSecondChunk", true, {Step::real(), Step::error(ENOSPC)},
                      "deviceFailure(operation: \"write\", detail: \"lba 6: errno 28 (No space left on device)\")"},
        TransferFault{"shortWriteAfterPart", true, {Step::upTo(1536), Step::zero()},
                      "deviceFailure(operation: \"write\", detail: \"lba 2 count 4: short write, wrote 1536/2048 "
                      "bytes\")"}),
    test::CaseName{});

TEST_F(RawDiskFile, KeepsEarlierChunksOfAFailedWrite) {
    auto device = open();
    ASSERT_TRUE(device);
    calls->writeScript = {Step::real(), Step::error(EIO)};
    EXPECT_TRUE(std::holds_alternative<BlockError>(device->writeSectors(2, pattern(6 * 512, 4))));
    device->close();
    const auto onDisk = test::readFile(path);
    const auto expected = pattern(6 * 512, 4);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 2048, onDisk.begin() + 1024));
    EXPECT_EQ(onDisk[6 * 512], 0);
}

struct FlushCase {
    const char* name;
    int fsyncErrno;
    int dropCacheErrno;
    const char* result;  // <path> stands for the file's path
};

class RawDiskFlush : public RawDiskFile, public ::testing::WithParamInterface<FlushCase> {};

TEST_P(RawDiskFlush, SeparatesLostDataFromAnUnsupportedSync) {
    const FlushCase& c = GetParam();
    auto device = open();
    ASSERT_TRUE(device);
    calls->fsyncErrno = c.fsyncErrno;
    calls->dropCacheErrno = c.dropCacheErrno;
    std::string expected = c.result;
    if (const auto at = expected.find("<path>"); at != std::string::npos) expected.replace(at, 6, path.string());
    EXPECT_EQ(render(device->flush()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Block, RawDiskFlush,
    ::testing::Values(
        FlushCase{"synced", 0, 0, "success"},
        FlushCase{"ioErrorIsAFailure", EIO, 0,
                  "failure(error: deviceFailure(operation: \"flush\", detail: \"fsync on <path>: errno 5 "
                  "(Input/output error)\"))"},
        FlushCase{"noSpaceIsAFailure", ENOSPC, 0,
                  "failure(error: deviceFailure(operation: \"flush\", detail: \"fsync on <path>: errno 28 (No space "
                  "left on device)\"))"},
        FlushCase{"unsupportedSyncIsNotHonoured", EINVAL, 0,
                  "notHonoured(detail: \"fsync on <path>: errno 22 (Invalid argument)\")"},
        FlushCase{"readOnlyFileSystemIsNotHonoured", EROFS, 0,
                  "notHonoured(detail: \"fsync on <path>: errno 30 (Read-only file system)\")"},
        FlushCase{"cacheKeptIsNotHonoured", 0, EINVAL,
                  "notHonoured(detail: \"posix_fadvise(DONTNEED) on <path>: errno 22 (Invalid argument)\")"}),
    test::CaseName{});

TEST_F(RawDiskFile, ClosesTheDescriptorOnceAndThenRefusesEverything) {
    auto device = open();
    ASSERT_TRUE(device);
    device->close();
    device->close();
    EXPECT_EQ(calls->closes, 1);
    EXPECT_EQ(calls->fsyncs, 1);
    EXPECT_EQ(render(device->flush()), "failure(error: closed(operation: \"flush\"))");
    EXPECT_EQ(errorText(device->readSectors(0, 1)), "closed(operation: \"read\")");
    EXPECT_EQ(errorText(device->writeSectors(0, pattern(512, 0))), "closed(operation: \"write\")");
    device.reset();
    EXPECT_EQ(calls->closes, 1);
}

TEST_F(RawDiskFile, ReleasingAnOpenDeviceClosesItsDescriptor) {
    auto device = open();
    ASSERT_TRUE(device);
    device.reset();
    EXPECT_EQ(calls->closes, 1);
}

}  // namespace
}  // namespace marlowick
