#include "Support/SparseFileBlockDevice.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readBack(BlockDevice& device, std::int64_t start, std::int64_t count) {
    return std::get<BlockReadSuccess>(device.readSectors(start, count)).data;
}

// Zero writes become holes: they must still replace whatever was there.
TEST(SparseFileBlockDevice, ZeroWritesClearOldDataAndSlicesKeepIt) {
    test::TempDir dir;
    auto device = test::SparseFileBlockDevice::create(dir.file("disk.img"), 4096, std::int64_t{1} << 28);  // 1 TiB
    const Bytes pattern(3 * 4096, 0x5A);
    ASSERT_EQ(device->writeSectors(1000, pattern), BlockWriteResult{BlockWriteSuccess{3}});
    ASSERT_EQ(device->writeSectors(1001, Bytes(4096, 0)), BlockWriteResult{BlockWriteSuccess{1}});
    Bytes expected = pattern;
    std::fill(expected.begin() + 4096, expected.begin() + 8192, 0);
    EXPECT_EQ(readBack(*device, 1000, 3), expected);
    EXPECT_EQ(readBack(*device, (std::int64_t{1} << 28) - 1, 1), Bytes(4096, 0));
    EXPECT_EQ(render(std::get<BlockError>(device->writeSectors(std::int64_t{1} << 28, Bytes(4096, 1)))),
              "outOfBounds(startSector: 268435456, sectorCount: 1, deviceSectorCount: 268435456)");
    device->close();
    EXPECT_EQ(render(std::get<BlockError>(device->readSectors(0, 1))), "closed(operation: \"read\")");

    test::copySparseSlice(dir.file("disk.img"), 999 * 4096, 4 * 4096, dir.file("slice.img"));
    Bytes slice(4096, 0);
    slice.insert(slice.end(), expected.begin(), expected.end());
    EXPECT_EQ(test::readFile(dir.file("slice.img")), slice);
}


TEST(SparseFileBlockDevice, KeepsWrittenSectorsAndStaysSparse) {
    test::TempDir dir;
    const std::int64_t sectors = std::int64_t{1} << 32;  // 2 TiB of 512-byte sectors
    auto device = test::SparseFileBlockDevice::create(dir.file("disk.img"), 512, sectors);
    const Bytes data(1024, 0xA5);
    ASSERT_EQ(device->writeSectors(sectors - 2, data), BlockWriteResult{BlockWriteSuccess{2}});
    const Bytes bytes = readBack(*device, sectors - 3, 3);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 512), Bytes(512, 0));
    EXPECT_EQ(Bytes(bytes.begin() + 512, bytes.end()), data);
    EXPECT_TRUE(std::holds_alternative<BlockFlushSuccess>(device->flush()));

    struct stat info {};
    ASSERT_EQ(::stat(device->path().c_str(), &info), 0);
    EXPECT_EQ(info.st_size, sectors * 512);
    EXPECT_LT(info.st_blocks * 512, 1 << 20);
    EXPECT_EQ(render(std::get<BlockError>(device->writeSectors(0, Bytes(100)))),
              "misalignedLength(length: 100, sectorSize: 512)");
    EXPECT_THROW((void)test::SparseFileBlockDevice::create(dir.file("bad.img"), 512, 0), std::invalid_argument);
}

}  // namespace
}  // namespace marlowick
