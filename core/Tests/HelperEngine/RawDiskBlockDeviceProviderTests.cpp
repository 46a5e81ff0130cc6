#include "HelperEngine/RawDiskBlockDeviceProvider.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <functional>

#include "Block/FakeSysfs.hpp"
#include "Block/RawDiskBlockDevice.hpp"
#include "Block/ScriptedDiskCalls.hpp"
#include "Block/BlockErrorText.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Events = std::vector<std::string>;

class FakeUnmounter : public DiskUnmounter {
public:
    explicit FakeUnmounter(Events& log) : events(log) {}
    DiskUnmountResult unmountWholeDisk(const std::string& kernelName) override {
        events.push_back("unmount " + kernelName);
        return answer;
    }
    DiskUnmountResult answer = DiskUnmounted{};

private:
    Events& events;
};

// A drive that is a file in the test's folder: the node at the path stats as the block
// device the test says, and the opened descriptor describes itself as the test says.
class FakeDriveCalls : public test::ScriptedDiskCalls {
public:
    FakeDriveCalls(Events& log, std::filesystem::path file) : events(log), backing(std::move(file)) {}

    int stat(const std::string&, struct ::stat& status) override {
        status = {};
        status.st_mode = S_IFBLK | 0600;
        status.st_rdev = nodeNumber;
        return 0;
    }
    int open(const std::string& path, int flags) override {
        events.push_back("open " + path);
        return ScriptedDiskCalls::open(backing.string(), flags);
    }
    int fstat(int fd, struct ::stat& status) override {
        const int result = RawDiskSystemCalls::fstat(fd, status);
        status.st_mode = openedIsBlock ? S_IFBLK | 0600 : S_IFREG | 0600;
        status.st_rdev = openedNumber;
        return result;
    }
    int blockDeviceSize(int, int& logicalBlockSize, std::uint64_t& byteSize) override {
        if (sizeErrno != 0) {
            errno = sizeErrno;
            return -1;
        }
        logicalBlockSize = openedSectorSize;
        byteSize = openedBytes;
        return 0;
    }

    dev_t nodeNumber = makedev(8, 16);
    dev_t openedNumber = makedev(8, 16);
    bool openedIsBlock = true;
    int openedSectorSize = 512;
    std::uint64_t openedBytes = 2048 * 512;
    int sizeErrno = 0;

private:
    Events& events;
    std::filesystem::path backing;
};

const std::string unmountSentence =
    "Marlowick couldn't unmount this drive before writing to it. Quit anything using it \u2014 or unmount it in your "
    "file manager \u2014 and try again.";
const std::string impossibleSentence =
    "Marlowick was given an impossible size for this drive. That's a bug in Marlowick \u2014 the drive was not "
    "changed.";
const std::string notFoundSentence =
    "Marlowick couldn't find this drive as it was chosen. It may have been unplugged or replaced \u2014 choose it "
    "again and try again.";
const std::string otherSizeSentence =
    "This drive doesn't report the size Marlowick was told about, so Marlowick left it alone. Choose it again from "
    "the list and try again.";
const std::string changedSentence =
    "The drive changed while Marlowick was opening it, so Marlowick left it alone. Choose it again from the list and "
    "try again.";

class RawDiskBlockDeviceProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.addDisk("sdb", "8:16", 2048, 512);
        sysfs.addPartition("sdb", "sdb1", "8:17");
        test::createSparseFile(dir.file("drive"), 2048 * 512);
    }
    HelperDeviceOpenResult open(const HelperDiskRef& disk, BlockAccessMode access) {
        return RawDiskBlockDeviceProvider(unmounter, sysfs.root(), calls).open(disk, access);
    }
    static std::string refusal(const HelperDeviceOpenResult& result) {
        const auto* error = std::get_if<HelperCommandError>(&result);
        if (error == nullptr) return "opened";
        const auto* cannotOpen = std::get_if<HelperCommandError::CouldNotOpenDevice>(&error->value);
        return cannotOpen == nullptr ? diagnosticDescription(*error) : cannotOpen->detail;
    }

    test::TempDir dir;
    test::FakeSysfs sysfs{dir.file("sys")};
    Events events;
    std::shared_ptr<FakeUnmounter> unmounter = std::make_shared<FakeUnmounter>(events);
    std::shared_ptr<FakeDriveCalls> calls = std::make_shared<FakeDriveCalls>(events, dir.file("drive"));
    HelperDiskRef disk{"/dev/sdb", 512, 2048, std::nullopt};
};

TEST_F(RawDiskBlockDeviceProviderTest, ImpossibleGeometryIsRefusedBeforeAnythingIsTouched) {
    const struct {
        std::int64_t sectorSize;
        std::int64_t sectorCount;
        std::string reason;
    } cases[] = {{0, 2048, "sector size 0, sector count 2048"},
                 {-512, 2048, "sector size -512, sector count 2048"},
                 {512, 0, "sector size 512, sector count 0"},
                 {512, -1, "sector size 512, sector count -1"}};
    for (const auto& c : cases) {
        for (const auto access : {BlockAccessMode::readWrite, BlockAccessMode::readOnly}) {
            SCOPED_TRACE(c.reason);
            const HelperDiskRef bad{"/dev/sdb", c.sectorSize, c.sectorCount, std::nullopt};
            EXPECT_EQ(refusal(open(bad, access)), impossibleSentence + " (" + c.reason + ")");
        }
    }
    EXPECT_TRUE(events.empty());
}

struct NotTheListedDiskCase {
    const char* name;
    const char* path;
    std::function<void(const test::FakeSysfs&, FakeDriveCalls&)> change;
    std::string detail;
};

class RawDiskBlockDeviceProviderRefuses : public RawDiskBlockDeviceProviderTest,
                                          public ::testing::WithParamInterface<NotTheListedDiskCase> {};

TEST_P(RawDiskBlockDeviceProviderRefuses, ReferenceThatIsNotTheListedDiskBeforeUnmounting) {
    const NotTheListedDiskCase& c = GetParam();
    if (c.change) c.change(sysfs, *calls);
    const HelperDiskRef target{c.path, 512, 2048, std::nullopt};
    for (const auto access : {BlockAccessMode::readWrite, BlockAccessMode::readOnly}) {
        EXPECT_EQ(refusal(open(target, access)), c.detail);
    }
    EXPECT_TRUE(events.empty());
}

const auto unchanged = [](const test::FakeSysfs&, FakeDriveCalls&) {};

INSTANTIATE_TEST_SUITE_P(
    Provider, RawDiskBlockDeviceProviderRefuses,
    ::testing::Values(
        NotTheListedDiskCase{"partition", "/dev/sdb1", unchanged,
                             notFoundSentence + " (sdb1 is a partition, not a whole disk)"},
        NotTheListedDiskCase{"unlisted", "/dev/sdz", unchanged,
                             notFoundSentence + " (the kernel lists no block device sdz)"},
        NotTheListedDiskCase{"nestedPath", "/dev/disk/by-id/usb-STICK", unchanged,
                             notFoundSentence + " (\"/dev/disk/by-id/usb-STICK\" is not a /dev/<disk> path)"},
        NotTheListedDiskCase{"bareDev", "/dev/", unchanged,
                             notFoundSentence + " (\"/dev/\" is not a /dev/<disk> path)"},
        NotTheListedDiskCase{"bareName", "sdb", unchanged, notFoundSentence + " (\"sdb\" is not a /dev/<disk> path)"},
        NotTheListedDiskCase{"noSize", "/dev/sdb",
                             [](const auto& s, auto&) { s.set("sdb/size", "unknown"); },
                             notFoundSentence + " (the kernel lists no size for sdb)"},
        NotTheListedDiskCase{"otherSectorSize", "/dev/sdb",
                             [](const auto& s, auto&) { s.set("sdb/queue/logical_block_size", "4096"); },
                             otherSizeSentence + " (/dev/sdb reports 4096-byte sectors, the command expects 512)"},
        NotTheListedDiskCase{"otherSectorCount", "/dev/sdb", [](const auto& s, auto&) { s.set("sdb/size", "4096"); },
                             otherSizeSentence + " (/dev/sdb reports 4096 sectors, the command expects 2048)"},
        NotTheListedDiskCase{"otherNode", "/dev/sdb",
                             [](const auto&, auto& calls) { calls.nodeNumber = makedev(8, 32); },
                             notFoundSentence + " (/dev/sdb is not the block device 8:16 the kernel lists as sdb)"}),
    test::CaseName{});

TEST_F(RawDiskBlockDeviceProviderTest, FailedUnmountIsRefusedWithItsReasonAndNothingIsOpened) {
    unmounter->answer = DiskUnmountRefused{"umount /media/u/STICK: errno 16 (Device or resource busy)"};
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)),
              unmountSentence + " (umount /media/u/STICK: errno 16 (Device or resource busy))");
    EXPECT_EQ(events, Events{"unmount sdb"});
}

TEST_F(RawDiskBlockDeviceProviderTest, WritingUnmountsFirstAndOpensExclusivelyReadingDoesNeither) {
    for (const auto access : {BlockAccessMode::readWrite, BlockAccessMode::readOnly}) {
        const bool writes = access == BlockAccessMode::readWrite;
        SCOPED_TRACE(writes ? "readWrite" : "readOnly");
        events.clear();
        auto result = open(disk, access);
        ASSERT_EQ(refusal(result), "opened");
        auto* device = dynamic_cast<RawDiskBlockDevice*>(std::get<std::unique_ptr<BlockDevice>>(result).get());
        ASSERT_NE(device, nullptr);
        const Events expected = writes ? Events{"unmount sdb", "open /dev/sdb"} : Events{"open /dev/sdb"};
        EXPECT_EQ(events, expected);
        EXPECT_EQ((calls->lastOpenFlags & O_EXCL) != 0, writes);
        EXPECT_EQ(device->sectorSize(), 512);
        EXPECT_EQ(device->sectorCount(), 2048);
        EXPECT_EQ(device->maxChunkSectors(), 8192);  // 4 MiB per system call
        EXPECT_EQ(device->deviceLabel(), "/dev/sdb");
        EXPECT_EQ(device->isReadOnly(), !writes);
        device->close();
    }
}

TEST_F(RawDiskBlockDeviceProviderTest, FailedOpenCarriesTheBlockErrorsUserSentence) {
    calls->openErrno = EIO;
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)),
              "The drive reported an error while Marlowick was opening it. It may have been unplugged, or it may be "
              "failing.");
    calls->openErrno = EACCES;
    const BlockError denied{BlockError::DeviceFailure{"open", "open /dev/sdb: errno 13 (Permission denied)"}};
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readOnly)), userMessage(denied));
    EXPECT_EQ(userMessage(denied).rfind("Linux didn't allow Marlowick to use this drive.", 0), 0U);
}

// EBUSY is another program holding the drive; EACCES on a disk the kernel marks read-only
// is the medium's write protection. Neither is a failing drive.
TEST_F(RawDiskBlockDeviceProviderTest, FailedOpenOfABusyOrWriteProtectedDriveSaysSo) {
    calls->openErrno = EBUSY;
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)), BlockErrorText::driveInUse);
    calls->openErrno = EROFS;
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)), BlockErrorText::writeProtected);

    calls->openErrno = EACCES;
    sysfs.set("sdb/ro", "1");
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)), BlockErrorText::writeProtected);
    // Reading a write-protected drive needs no write access: a refusal there is the system's.
    const BlockError denied{BlockError::DeviceFailure{"open", "open /dev/sdb: errno 13 (Permission denied)"}};
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readOnly)), userMessage(denied));
    sysfs.set("sdb/ro", "0");
    EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)), userMessage(denied));
}

TEST_F(RawDiskBlockDeviceProviderTest, OpenedNodeThatIsNotTheCheckedDiskIsClosedAndRefused) {
    const struct {
        std::function<void(FakeDriveCalls&)> change;
        std::string reason;
    } cases[] = {
        {[](auto& c) { c.openedNumber = makedev(8, 32); },
         "/dev/sdb opened block device 8:32, the kernel lists sdb as 8:16"},
        {[](auto& c) { c.openedIsBlock = false; }, "/dev/sdb is not a block device"},
        {[](auto& c) { c.openedSectorSize = 4096; }, "/dev/sdb reports 4096-byte sectors, the command expects 512"},
        {[](auto& c) { c.openedBytes = 2049 * 512; }, "/dev/sdb reports 2049 sectors, the command expects 2048"},
        {[](auto& c) { c.openedBytes = 2048 * 512 + 100; },
         "/dev/sdb reports 1048676 bytes, not a whole number of 512-byte sectors"},
        {[](auto& c) { c.sizeErrno = ENOTTY; },
         "size query on /dev/sdb: errno 25 (Inappropriate ioctl for device)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        calls = std::make_shared<FakeDriveCalls>(events, dir.file("drive"));
        c.change(*calls);
        EXPECT_EQ(refusal(open(disk, BlockAccessMode::readWrite)), changedSentence + " (" + c.reason + ")");
        EXPECT_EQ(calls->opens, 1);
        EXPECT_EQ(calls->closes, 1);
    }
}

}  // namespace
}  // namespace marlowick
