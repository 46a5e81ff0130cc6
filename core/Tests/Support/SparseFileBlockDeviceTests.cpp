#include "Support/SparseFileBlockDevice.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Support/TestSupport.hpp"

namespace marlowick::test {
namespace {

TEST(SparseFileBlockDevice, KeepsWrittenSectorsAndStaysSparse) {
    TempDir dir;
    const std::int64_t sectors = std::int64_t{1} << 32;  // 2 TiB of 512-byte sectors
    SparseFileBlockDevice device(dir.file("disk.img"), sectors, 512);
    const std::vector<std::uint8_t> data(1024, 0xA5);
    const BlockWriteResult written = device.writeSectors(sectors - 2, data);
    ASSERT_EQ(written, (BlockWriteResult{BlockWriteSuccess{2}}));
    const BlockReadResult read = device.readSectors(sectors - 3, 3);
    ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(read));
    const auto& bytes = std::get<BlockReadSuccess>(read).data;
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 512, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + 512));
    EXPECT_TRUE(std::holds_alternative<BlockFlushSuccess>(device.flush()));

    struct stat info {};
    ASSERT_EQ(::stat(device.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_size, sectors * 512);
    EXPECT_LT(info.st_blocks * 512, 1 << 20);
}

TEST(SparseFileBlockDevice, ChecksRequestsLikeEveryDevice) {
    TempDir dir;
    SparseFileBlockDevice device(dir.file("disk.img"), 8, 512);
    const BlockWriteResult pastEnd = device.writeSectors(7, std::vector<std::uint8_t>(1024));
    EXPECT_EQ(pastEnd, (BlockWriteResult{BlockError{BlockError::OutOfBounds{7, 2, 8}}}));
    const BlockWriteResult ragged = device.writeSectors(0, std::vector<std::uint8_t>(100));
    EXPECT_EQ(ragged, (BlockWriteResult{BlockError{BlockError::MisalignedLength{100, 512}}}));
    device.close();
    const BlockReadResult closed = device.readSectors(0, 1);
    EXPECT_EQ(closed, (BlockReadResult{BlockError{BlockError::Closed{"read"}}}));
    EXPECT_THROW(SparseFileBlockDevice(dir.file("bad.img"), 0, 512), std::invalid_argument);
}

}  // namespace
}  // namespace marlowick::test
