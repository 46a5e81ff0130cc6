// RawDiskBlockDeviceProvider on a real partitioned loop device with mounted volumes: a
// write open unmounts them all, a busy volume or a stale reference leaves them mounted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>

#include "Block/MountTable.hpp"
#include "HelperEngine/RawDiskBlockDeviceProvider.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

bool isMounted(const std::filesystem::path& point) {
    for (const auto& entry : MountTable::read()) {
        if (entry.mountPoint == point.string()) return true;
    }
    return false;
}

// What a test mounted, unmounted again (last first) however the test ends.
class Mounts {
public:
    Mounts() = default;
    Mounts(const Mounts&) = delete;
    Mounts& operator=(const Mounts&) = delete;
    ~Mounts() {
        for (auto point = points.rbegin(); point != points.rend(); ++point) {
            while (isMounted(*point) && test::runCommand("umount '" + point->string() + "'").exitCode == 0) {
            }
        }
    }
    bool mount(const std::string& arguments, const std::filesystem::path& point) {
        std::filesystem::create_directories(point);
        if (test::runCommand("mount " + arguments + " '" + point.string() + "'").exitCode != 0) return false;
        points.push_back(point);
        return true;
    }

private:
    std::vector<std::filesystem::path> points;
};

constexpr std::int64_t diskBytes = 16 << 20;
const std::string unmountSentence =
    "Marlowick couldn't unmount this drive before writing to it. Quit anything using it \u2014 or unmount it in your "
    "file manager \u2014 and try again.";

class ProviderOnLoop : public ::testing::Test {
protected:
    // Two partitions with a file system each: p1 mounted at mnt, p2 at mnt/inner, and p1
    // bound once more at bind. An empty text when all is in place, else why not.
    std::string prepare() {
        const auto backing = dir.file("disk.img");
        test::createSparseFile(backing, diskBytes);
        const auto table = test::runCommand("printf 'start=2048, size=8192, type=83\\nstart=10240, type=83\\n' | "
                                            "sfdisk -q '" + backing.string() + "'");
        if (table.exitCode != 0) return "sfdisk: " + table.output;
        auto attached = test::LoopDevice::attach(backing);
        if (!attached) return "no free loop device";
        loop.emplace(std::move(*attached));
        (void)test::runCommand("partx -u " + loop->path());
        const auto first = partitionNode(1), second = partitionNode(2);
        if (first.empty() || second.empty()) return "the kernel did not list the loop device's partitions";
        if (!formatAndMount(first, mnt) || !formatAndMount(second, inner)) return "cannot make a mountable volume here";
        if (!mounts.mount("--bind '" + mnt.string() + "'", bind)) return "cannot bind-mount here";
        return {};
    }

    [[nodiscard]] HelperDiskRef reference(std::int64_t sectorCount = diskBytes / 512) const {
        return HelperDiskRef{loop->path(), 512, sectorCount, std::nullopt};
    }
    [[nodiscard]] bool allMounted() const { return isMounted(mnt) && isMounted(inner) && isMounted(bind); }
    [[nodiscard]] bool noneMounted() const { return !isMounted(mnt) && !isMounted(inner) && !isMounted(bind); }

    // The refusal as the engine sends it: its sentence with the technical reason after it
    // (the user sees the sentence alone).
    static std::string refusal(const HelperDeviceOpenResult& result) {
        const auto* error = std::get_if<HelperCommandError>(&result);
        if (error == nullptr) return "opened";
        const auto* device = std::get_if<HelperCommandError::CouldNotOpenDevice>(&error->value);
        return device != nullptr ? device->detail : userMessage(*error);
    }

    test::TempDir dir;
    std::optional<test::LoopDevice> loop;
    Mounts mounts;  // undone before the loop device is detached
    std::filesystem::path mnt = std::filesystem::weakly_canonical(dir.path()) / "mnt";
    std::filesystem::path inner = mnt / "inner";
    std::filesystem::path bind = std::filesystem::weakly_canonical(dir.path()) / "bind";

private:
    // Our own node for the partition: /dev may have no udev to make one.
    std::string partitionNode(int number) const {
        const std::string name = loop->name() + "p" + std::to_string(number);
        std::ifstream numbers("/sys/class/block/" + loop->name() + "/" + name + "/dev");
        unsigned major = 0, minor = 0;
        char colon = 0;
        if (!(numbers >> major >> colon >> minor)) return {};
        const auto node = dir.file(name);
        if (::mknod(node.c_str(), S_IFBLK | 0600, makedev(major, minor)) != 0) return {};
        return node.string();
    }
    bool formatAndMount(const std::string& node, const std::filesystem::path& point) {
        const struct {
            const char* mkfs;
            const char* type;
        } fileSystems[] = {{"mkfs.fat", "vfat"}, {"mkfs.exfat", "exfat"}, {"mkfs.ext2", "ext2"}};
        for (const auto& fs : fileSystems) {
            if (!test::hasTool(fs.mkfs) || test::runCommand(std::string(fs.mkfs) + " '" + node + "'").exitCode != 0) {
                continue;
            }
            if (mounts.mount("-t " + std::string(fs.type) + " '" + node + "'", point)) return true;
        }
        return false;
    }
};

TEST_F(ProviderOnLoop, WriteOpenUnmountsEveryVolumeOfTheDiskThenWrites) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    if (const auto whyNot = prepare(); !whyNot.empty()) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(allMounted());

    auto result = RawDiskBlockDeviceProvider().open(reference(), BlockAccessMode::readWrite);
    ASSERT_EQ(refusal(result), "opened");
    EXPECT_TRUE(noneMounted());
    auto& device = *std::get<std::unique_ptr<BlockDevice>>(result);
    const std::vector<std::uint8_t> pattern(512, 0x5A);
    EXPECT_EQ(device.writeSectors(100, pattern), BlockWriteResult{BlockWriteSuccess{1}});
    EXPECT_EQ(device.flush(), BlockFlushResult{BlockFlushSuccess{}});
    EXPECT_EQ(device.readSectors(100, 1), BlockReadResult{BlockReadSuccess{pattern}});
    device.close();
    const auto onDisk = test::readFile(dir.file("disk.img"));
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), onDisk.begin() + 100 * 512));
}

TEST_F(ProviderOnLoop, BusyVolumeIsRefusedAndEveryVolumeStaysMounted) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    if (const auto whyNot = prepare(); !whyNot.empty()) GTEST_SKIP() << whyNot;
    const int held = ::open((inner / "held").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);

    const auto result = RawDiskBlockDeviceProvider().open(reference(), BlockAccessMode::readWrite);
    const std::string text = refusal(result);
    EXPECT_EQ(text.rfind(unmountSentence + " (umount " + inner.string() + ": ", 0), 0U) << text;
    EXPECT_NE(text.find("errno 16 (Device or resource busy)"), std::string::npos) << text;
    EXPECT_TRUE(allMounted());
    ::close(held);
}

TEST_F(ProviderOnLoop, StaleSectorCountIsRefusedBeforeUnmounting) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    if (const auto whyNot = prepare(); !whyNot.empty()) GTEST_SKIP() << whyNot;

    const auto result = RawDiskBlockDeviceProvider().open(reference(diskBytes / 512 + 1), BlockAccessMode::readWrite);
    EXPECT_EQ(refusal(result),
              "This drive doesn't report the size Marlowick was told about, so Marlowick left it alone. Choose it "
              "again from the list and try again. (" +
                  loop->path() + " reports 32768 sectors, the command expects 32769)");
    EXPECT_TRUE(allMounted());
}

TEST_F(ProviderOnLoop, ReadOpenLeavesTheVolumesMounted) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    if (const auto whyNot = prepare(); !whyNot.empty()) GTEST_SKIP() << whyNot;

    auto result = RawDiskBlockDeviceProvider().open(reference(), BlockAccessMode::readOnly);
    ASSERT_EQ(refusal(result), "opened");
    EXPECT_TRUE(allMounted());
    auto& device = *std::get<std::unique_ptr<BlockDevice>>(result);
    const BlockReadResult sector0 = device.readSectors(0, 1);
    ASSERT_TRUE(std::holds_alternative<BlockReadSuccess>(sector0));
    EXPECT_EQ(std::get<BlockReadSuccess>(sector0).data[510], 0x55);
    EXPECT_EQ(std::get<BlockReadSuccess>(sector0).data[511], 0xAA);
    device.close();
}

}  // namespace
}  // namespace marlowick
