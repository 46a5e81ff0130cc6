// RawDiskBlockDevice on real loop devices: exclusivity, 4096-byte sectors, and
// read-backs that come from the medium rather than the page cache.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>

#include "Block/RawDiskBlockDevice.hpp"
#include "Block/ScriptedDiskCalls.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

template <class Result>
std::string errorText(const Result& result) {
    const auto* error = std::get_if<BlockError>(&result);
    return error == nullptr ? "no error" : render(*error);
}

std::unique_ptr<RawDiskBlockDevice> opened(RawDiskBlockDevice::OpenResult result) {
    if (auto* error = std::get_if<BlockError>(&result)) {
        ADD_FAILURE() << render(*error);
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<RawDiskBlockDevice>>(result));
}

// Writes `bytes` into the loop device's backing file behind the device's back.
void overwriteBackingFile(const std::filesystem::path& file, off_t offset, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

class RawDiskLoop : public ::testing::Test {
protected:
    std::optional<test::LoopDevice> attach(int sectorSize = 512) {
        test::createSparseFile(backing, sizeBytes);
        return test::LoopDevice::attach(backing, sectorSize);
    }

    static constexpr std::int64_t sizeBytes = 1 << 20;
    test::TempDir dir;
    std::filesystem::path backing = dir.file("disk.img");
};

TEST_F(RawDiskLoop, ReadWriteOpenIsExclusive) {
    MARLOWICK_REQUIRE_ROOT();
    auto loop = attach();
    if (!loop) GTEST_SKIP() << "no free loop device";
    auto first = opened(RawDiskBlockDevice::open(loop->path(), 512, sizeBytes / 512, 64, BlockAccessMode::readWrite));
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->usesDirectIo());

    const auto second = RawDiskBlockDevice::open(loop->path(), 512, sizeBytes / 512, 64, BlockAccessMode::readWrite);
    EXPECT_EQ(errorText(second), "deviceFailure(operation: \"open\", detail: \"open " + loop->path() +
                                     ": errno 16 (Device or resource busy)\")");
    // Reading alongside the writer stays possible: detection inspects a disk it does not own.
    EXPECT_TRUE(opened(RawDiskBlockDevice::open(loop->path(), 512, sizeBytes / 512, 64, BlockAccessMode::readOnly)));

    first->close();
    EXPECT_TRUE(opened(RawDiskBlockDevice::open(loop->path(), 512, sizeBytes / 512, 64, BlockAccessMode::readWrite)));
}

struct Mounted {
    std::filesystem::path point;
    ~Mounted() { (void)test::runCommand("umount '" + point.string() + "'"); }
};

TEST_F(RawDiskLoop, RefusesToWriteADiskWithAMountedPartition) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    MARLOWICK_REQUIRE_TOOL("mkfs.ext2");
    test::createSparseFile(backing, 8 << 20);
    ASSERT_EQ(test::runCommand("echo 'start=2048, type=83' | sfdisk -q '" + backing.string() + "'").exitCode, 0);
    auto loop = test::LoopDevice::attach(backing);
    if (!loop) GTEST_SKIP() << "no free loop device";
    (void)test::runCommand("partx -u " + loop->path());
    std::ifstream numbers("/sys/block/" + loop->name() + "/" + loop->name() + "p1/dev");
    unsigned major = 0, minor = 0;
    char colon = 0;
    if (!(numbers >> major >> colon >> minor)) GTEST_SKIP() << "the kernel did not list the loop device's partition";
    // Our own node for the partition: /dev may have no udev to make one.
    const auto partition = dir.file("partition");
    ASSERT_EQ(::mknod(partition.c_str(), S_IFBLK | 0600, makedev(major, minor)), 0);
    ASSERT_EQ(test::runCommand("mkfs.ext2 -q '" + partition.string() + "'").exitCode, 0);
    const auto point = dir.file("mnt");
    std::filesystem::create_directory(point);
    if (test::runCommand("mount '" + partition.string() + "' '" + point.string() + "'").exitCode != 0) {
        GTEST_SKIP() << "cannot mount ext2 here";
    }
    {
        Mounted mounted{point};
        const auto refused =
            RawDiskBlockDevice::open(loop->path(), 512, (8 << 20) / 512, 64, BlockAccessMode::readWrite);
        EXPECT_EQ(errorText(refused), "deviceFailure(operation: \"open\", detail: \"open " + loop->path() +
                                          ": errno 16 (Device or resource busy)\")");
        EXPECT_TRUE(opened(RawDiskBlockDevice::open(loop->path(), 512, (8 << 20) / 512, 64, BlockAccessMode::readOnly)));
    }
    EXPECT_TRUE(opened(RawDiskBlockDevice::open(loop->path(), 512, (8 << 20) / 512, 64, BlockAccessMode::readWrite)));
}

TEST_F(RawDiskLoop, Works4096ByteSectorsAcrossChunks) {
    MARLOWICK_REQUIRE_ROOT();
    auto loop = attach(4096);
    if (!loop) GTEST_SKIP() << "no free loop device";
    auto device = opened(RawDiskBlockDevice::open(loop->path(), 4096, sizeBytes / 4096, 2, BlockAccessMode::readWrite));
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->usesDirectIo());
    std::vector<std::uint8_t> data(3 * 4096);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + i / 4096);
    EXPECT_EQ(device->writeSectors(1, data), BlockWriteResult{BlockWriteSuccess{3}});
    EXPECT_EQ(device->flush(), BlockFlushResult{BlockFlushSuccess{}});
    const BlockReadResult read = device->readSectors(1, 3);
    ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(read)) << errorText(read);
    EXPECT_EQ(std::get<BlockReadSuccess>(read).data, data);
    EXPECT_EQ(errorText(device->writeSectors(0, std::vector<std::uint8_t>(512))),
              "misalignedLength(length: 512, sectorSize: 4096)");
    device->close();
    const auto onDisk = test::readFile(backing);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), onDisk.begin() + 4096));

    // 512-byte sectors on a 4096-byte device cannot go direct; they still work, buffered.
    auto small = opened(RawDiskBlockDevice::open(loop->path(), 512, sizeBytes / 512, 64, BlockAccessMode::readOnly));
    ASSERT_TRUE(small);
    EXPECT_FALSE(small->usesDirectIo());
    const BlockReadResult part = small->readSectors(9, 1);
    ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(part)) << errorText(part);
    EXPECT_TRUE(std::equal(data.begin() + 512, data.begin() + 1024, std::get<BlockReadSuccess>(part).data.begin()));
}

TEST_F(RawDiskLoop, ReadsBackTheMediumNotThePageCache) {
    MARLOWICK_REQUIRE_ROOT();
    auto loop = attach();
    if (!loop) GTEST_SKIP() << "no free loop device";
    const std::vector<std::uint8_t> ours(512, 'A'), medium(512, 'B'), later(512, 'C');

    // The control: a plain buffered descriptor keeps serving what it wrote after the
    // medium changed, so this test can tell a cache hit from a read of the medium.
    {
        const int fd = ::open(loop->path().c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        std::vector<std::uint8_t> seen(512);
        ASSERT_EQ(::pwrite(fd, ours.data(), 512, 7 * 512), 512);
        ASSERT_EQ(::fsync(fd), 0);
        overwriteBackingFile(backing, 7 * 512, medium);
        ASSERT_EQ(::pread(fd, seen.data(), 512, 7 * 512), 512);
        ::close(fd);
        if (seen != ours) GTEST_SKIP() << "this kernel does not cache loop device reads";
    }

    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct I/O" : "buffered, cache dropped on flush");
        auto calls = std::make_shared<test::ScriptedDiskCalls>();
        calls->allowDirectIo = direct;
        auto device = opened(
            RawDiskBlockDevice::open(loop->path(), 512, sizeBytes / 512, 64, BlockAccessMode::readWrite, calls));
        ASSERT_TRUE(device);
        ASSERT_EQ(device->usesDirectIo(), direct);
        ASSERT_EQ(device->writeSectors(5, ours), BlockWriteResult{BlockWriteSuccess{1}});
        ASSERT_EQ(device->flush(), BlockFlushResult{BlockFlushSuccess{}});
        overwriteBackingFile(backing, 5 * 512, medium);
        EXPECT_EQ(device->readSectors(5, 1), BlockReadResult{BlockReadSuccess{medium}});
        if (direct) {
            // Without any flush in between, too.
            ASSERT_EQ(device->writeSectors(5, ours), BlockWriteResult{BlockWriteSuccess{1}});
            overwriteBackingFile(backing, 5 * 512, later);
            EXPECT_EQ(device->readSectors(5, 1), BlockReadResult{BlockReadSuccess{later}});
        }
        device->close();
    }
}

}  // namespace
}  // namespace marlowick
