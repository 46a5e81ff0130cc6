#include "Block/MemoryBlockDevice.hpp"

#include <gtest/gtest.h>

#include "Block/BlockChunkPlan.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

TEST(BlockChunkPlan, SplitsIntoContiguousChunks) {
    using BlockChunkPlan::SectorChunk;
    const std::vector<SectorChunk> expected{{10, 64}, {74, 64}, {138, 2}};
    EXPECT_EQ(BlockChunkPlan::chunk(10, 130, 64), expected);
    EXPECT_TRUE(BlockChunkPlan::chunk(10, 0, 64).empty());
    const std::vector<SectorChunk> one{{0, 64}};
    EXPECT_EQ(BlockChunkPlan::chunk(0, 64, 64), one);
}

TEST(MemoryBlockDevice, ReadsBackWhatWasWrittenAndZerosElsewhere) {
    MemoryBlockDevice device(16, 512);
    const std::vector<std::uint8_t> data(1024, 0xA5);
    EXPECT_EQ(std::get<BlockWriteSuccess>(device.writeSectors(3, data)).sectorsWritten, 2);
    EXPECT_EQ(std::get<BlockReadSuccess>(device.readSectors(3, 2)).data, data);
    EXPECT_EQ(std::get<BlockReadSuccess>(device.readSectors(0, 3)).data, std::vector<std::uint8_t>(1536, 0));
    EXPECT_EQ(std::get<BlockWriteSuccess>(device.writeSectors(15, std::vector<std::uint8_t>(512, 1))).sectorsWritten, 1);
}

struct RejectCase {
    const char* name;
    bool closeFirst;
    bool isWrite;
    std::int64_t start;
    std::int64_t count;  // sectors to read, or bytes to write
    const char* error;
};

class MemoryBlockDeviceRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(MemoryBlockDeviceRejects, WithTheFirstFailingCheck) {
    const RejectCase& c = GetParam();
    MemoryBlockDevice device(16, 512);
    if (c.closeFirst) device.close();
    const BlockError* error = nullptr;
    BlockReadResult read;
    BlockWriteResult write;
    if (c.isWrite) {
        write = device.writeSectors(c.start, std::vector<std::uint8_t>(static_cast<std::size_t>(c.count), 7));
        error = std::get_if<BlockError>(&write);
    } else {
        read = device.readSectors(c.start, c.count);
        error = std::get_if<BlockError>(&read);
    }
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(render(*error), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Block, MemoryBlockDeviceRejects,
    ::testing::Values(
        RejectCase{"readZeroBeforeNegative", false, false, -1, 0, "invalidSectorCount(sectorCount: 0)"},
        RejectCase{"readNegative", false, false, -1, 1, "negativeSector(startSector: -1)"},
        RejectCase{"readPastEnd", false, false, 15, 2, "outOfBounds(startSector: 15, sectorCount: 2, deviceSectorCount: 16)"},
        RejectCase{"readHugeCount", false, false, 1, INT64_MAX,
                   "outOfBounds(startSector: 1, sectorCount: 9223372036854775807, deviceSectorCount: 16)"},
        RejectCase{"readClosed", true, false, -1, 0, "closed(operation: \"read\")"},
        RejectCase{"writeEmpty", false, true, 0, 0, "misalignedLength(length: 0, sectorSize: 512)"},
        RejectCase{"write513", false, true, 0, 513, "misalignedLength(length: 513, sectorSize: 512)"},
        RejectCase{"writeNegative", false, true, -3, 512, "negativeSector(startSector: -3)"},
        RejectCase{"writePastEnd", false, true, 16, 512, "outOfBounds(startSector: 16, sectorCount: 1, deviceSectorCount: 16)"},
        RejectCase{"writeClosed", true, true, 0, 0, "closed(operation: \"write\")"}),
    test::CaseName{});

TEST(MemoryBlockDevice, CountsFlushesAndClosesForGood) {
    MemoryBlockDevice device(4, 4096);
    EXPECT_EQ(device.flush(), BlockFlushResult{BlockFlushSuccess{}});
    EXPECT_EQ(device.flush(), BlockFlushResult{BlockFlushSuccess{}});
    EXPECT_EQ(device.flushCount(), 2);
    device.close();
    device.close();
    EXPECT_EQ(render(device.flush()), "failure(error: closed(operation: \"flush\"))");
}

}  // namespace
}  // namespace marlowick
