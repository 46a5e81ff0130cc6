#include "Block/WholeDiskUnmounter.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "Block/FakeSysfs.hpp"
#include "Block/MountTable.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

// umount2 over a mountinfo file: a success takes the topmost mount at that point out of the
// file, as the kernel would, and a mount with another mount on top of it is busy.
class ScriptedUnmount : public UnmountSystemCalls {
public:
    struct Answer {
        int errorNumber = 0;           // 0: success
        bool takesMountAway = true;    // false: the table keeps showing the mount
    };

    ScriptedUnmount(std::filesystem::path table, const std::string& lines) : tablePath(std::move(table)) {
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) rows.push_back(line);
        }
        save();
    }

    int unmount(const std::string& mountPoint) override {
        calls.push_back(mountPoint);
        Answer answer;
        auto& script = answers[mountPoint];
        if (!script.empty()) {
            answer = script.front();
            script.pop_front();
        }
        const auto top = topmostAt(mountPoint);
        if (answer.errorNumber == 0 && top && hasChildren(*top)) answer.errorNumber = EBUSY;
        if (answer.takesMountAway && (answer.errorNumber == 0 || answer.errorNumber == EINVAL) && top) {
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(*top));
            save();
        }
        if (answer.errorNumber != 0) {
            errno = answer.errorNumber;
            return -1;
        }
        return 0;
    }
    void sync() override { ++syncs; }
    void pause(std::chrono::milliseconds duration) override { pauses.push_back(duration); }

    std::map<std::string, std::deque<Answer>> answers;
    std::vector<std::string> calls;
    int syncs = 0;
    std::vector<std::chrono::milliseconds> pauses;

    [[nodiscard]] std::vector<std::string> mountPoints() const {
        std::vector<std::string> points;
        for (const auto& entry : MountTable::read(tablePath)) points.push_back(entry.mountPoint);
        return points;
    }

private:
    [[nodiscard]] std::optional<std::size_t> topmostAt(const std::string& mountPoint) const {
        const auto entries = MountTable::read(tablePath);
        std::optional<std::size_t> top;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].mountPoint == mountPoint) top = i;
        }
        return top;
    }
    [[nodiscard]] bool hasChildren(std::size_t row) const {
        const auto entries = MountTable::read(tablePath);
        for (const auto& entry : entries) {
            if (entry.parentId == entries[row].mountId) return true;
        }
        return false;
    }
    void save() const {
        std::ofstream out(tablePath, std::ios::trunc);
        for (const auto& row : rows) out << row << "\n";
    }

    std::filesystem::path tablePath;
    std::vector<std::string> rows;
};

// sdb with two partitions, sdba (a different disk whose name starts alike) and sdc.
constexpr const char* baseTable =
    "1 0 254:1 / / rw - ext4 /dev/vda1 rw\n"
    "20 1 8:17 / /media/u/STICK rw - vfat /dev/sdb1 rw\n"
    "21 20 8:18 / /media/u/STICK/inner rw - ext4 /dev/sdb2 rw\n"
    "22 1 8:17 /photos /srv/photos rw - vfat /dev/sdb1 rw\n"
    "23 1 8:16 / /mnt/whole\\040disk ro - iso9660 /dev/sdb ro\n"
    "24 1 65:161 / /media/u/OTHER rw - vfat /dev/sdba1 rw\n"
    "25 1 8:33 / /media/u/sdb1 rw - vfat /dev/disk/by-label/sdb1 rw\n";

class WholeDiskUnmounterTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.addDisk("sdb", "8:16");
        sysfs.addPartition("sdb", "sdb1", "8:17");
        sysfs.addPartition("sdb", "sdb2", "8:18");
        sysfs.addDisk("sdba", "65:160");
        sysfs.addPartition("sdba", "sdba1", "65:161");
        sysfs.addDisk("sdc", "8:32");
        sysfs.addPartition("sdc", "sdc1", "8:33");
    }
    ScriptedUnmount& table(const std::string& lines) {
        calls = std::make_shared<ScriptedUnmount>(mountInfo, lines);
        return *calls;
    }
    DiskUnmountResult unmount(const std::string& kernelName) {
        return WholeDiskUnmounter(sysfs.root(), mountInfo.string(), calls).unmountWholeDisk(kernelName);
    }

    test::TempDir dir;
    test::FakeSysfs sysfs{dir.file("sys")};
    std::filesystem::path mountInfo = dir.file("mountinfo");
    std::shared_ptr<ScriptedUnmount> calls;
};

TEST_F(WholeDiskUnmounterTest, UnmountsEveryMountOfTheDiskAndItsPartitionsChildrenFirst) {
    auto& scripted = table(baseTable);
    const DiskUnmountResult expected =
        DiskUnmounted{{"/media/u/STICK/inner", "/mnt/whole disk", "/srv/photos", "/media/u/STICK"}};
    EXPECT_EQ(unmount("sdb"), expected);
    EXPECT_EQ(scripted.calls, std::get<DiskUnmounted>(expected).mountPoints);
    const std::vector<std::string> untouched{"/", "/media/u/OTHER", "/media/u/sdb1"};
    EXPECT_EQ(scripted.mountPoints(), untouched);
    EXPECT_EQ(scripted.syncs, 0);
}

TEST_F(WholeDiskUnmounterTest, StackedMountsAtOnePointComeOffTopFirst) {
    auto& scripted = table(
        "1 0 254:1 / / rw - ext4 /dev/vda1 rw\n"
        "20 1 8:17 / /media/u/STICK rw - vfat /dev/sdb1 rw\n"
        "26 20 8:18 / /media/u/STICK rw - ext4 /dev/sdb2 rw\n"
        "27 26 8:17 / /media/u/STICK/again rw - vfat /dev/sdb1 rw\n");
    const DiskUnmountResult expected = DiskUnmounted{{"/media/u/STICK/again", "/media/u/STICK", "/media/u/STICK"}};
    EXPECT_EQ(unmount("sdb"), expected);
    EXPECT_EQ(scripted.mountPoints(), std::vector<std::string>{"/"});
}

TEST_F(WholeDiskUnmounterTest, DiskWithNothingMountedIsFreeWithoutACall) {
    auto& scripted = table(
        "1 0 254:1 / / rw - ext4 /dev/vda1 rw\n"
        "24 1 65:161 / /media/u/OTHER rw - vfat /dev/sdba1 rw\n"
        "25 1 8:33 / /media/u/sdb1 rw - vfat /dev/sdb1 rw\n");
    EXPECT_EQ(unmount("sdb"), DiskUnmountResult{DiskUnmounted{}});
    EXPECT_TRUE(scripted.calls.empty());
    // sdba's own mount is found by its own number, not by a name that starts alike.
    EXPECT_EQ(unmount("sdba"), DiskUnmountResult{DiskUnmounted{{"/media/u/OTHER"}}});
}

TEST_F(WholeDiskUnmounterTest, BusyFileSystemIsRetriedBrieflyThenRefusedAndNothingElseIsUnmounted) {
    auto& scripted = table(baseTable);
    scripted.answers["/media/u/STICK/inner"] = {{EBUSY}, {EBUSY}, {EBUSY}, {EBUSY}};
    const DiskUnmountResult expected =
        DiskUnmountRefused{"umount /media/u/STICK/inner: errno 16 (Device or resource busy)"};
    EXPECT_EQ(unmount("sdb"), expected);
    EXPECT_EQ(scripted.calls, std::vector<std::string>(4, "/media/u/STICK/inner"));
    EXPECT_EQ(scripted.syncs, 3);
    EXPECT_EQ(scripted.pauses, std::vector<std::chrono::milliseconds>(3, WholeDiskUnmounter::busyPause));
    EXPECT_EQ(scripted.mountPoints().size(), 7U);
}

TEST_F(WholeDiskUnmounterTest, BusyFileSystemThatLetsGoIsUnmounted) {
    auto& scripted = table(baseTable);
    scripted.answers["/srv/photos"] = {{EBUSY}, {EBUSY}};
    EXPECT_TRUE(std::holds_alternative<DiskUnmounted>(unmount("sdb")));
    EXPECT_EQ(scripted.syncs, 2);
    EXPECT_EQ(scripted.calls.size(), 6U);
}

TEST_F(WholeDiskUnmounterTest, OtherFailuresRefuseAtOnceWithTheirErrno) {
    auto& scripted = table(baseTable);
    scripted.answers["/mnt/whole disk"] = {{EPERM}};
    const DiskUnmountResult expected = DiskUnmountRefused{"umount /mnt/whole disk: errno 1 (Operation not permitted)"};
    EXPECT_EQ(unmount("sdb"), expected);
    EXPECT_EQ(scripted.calls, (std::vector<std::string>{"/media/u/STICK/inner", "/mnt/whole disk"}));
    EXPECT_EQ(scripted.syncs, 0);
}

TEST_F(WholeDiskUnmounterTest, MountGoneMeanwhileIsNoFailureButAMountLeftBehindIs) {
    {
        auto& scripted = table(baseTable);
        scripted.answers["/srv/photos"] = {{EINVAL}};  // someone else unmounted it first
        EXPECT_TRUE(std::holds_alternative<DiskUnmounted>(unmount("sdb")));
    }
    {
        auto& scripted = table(baseTable);
        scripted.answers["/srv/photos"] = {{0, false}};
        const DiskUnmountResult expected = DiskUnmountRefused{"sdb1 is still mounted on /srv/photos"};
        EXPECT_EQ(unmount("sdb"), expected);
    }
}

struct RefusalCase {
    const char* name;
    std::function<void(const test::FakeSysfs&)> prepare;
    const char* extraMount;  // a mountinfo line added to the base table
    const char* kernelName;
    const char* detail;
};

class WholeDiskUnmounterRefuses : public WholeDiskUnmounterTest,
                                  public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(WholeDiskUnmounterRefuses, BeforeUnmountingAnything) {
    const RefusalCase& c = GetParam();
    if (c.prepare) c.prepare(sysfs);
    auto& scripted = table(std::string(baseTable) + c.extraMount);
    const DiskUnmountResult expected = DiskUnmountRefused{c.detail};
    EXPECT_EQ(unmount(c.kernelName), expected);
    EXPECT_TRUE(scripted.calls.empty());
}

const auto none = [](const test::FakeSysfs&) {};

INSTANTIATE_TEST_SUITE_P(
    Disk, WholeDiskUnmounterRefuses,
    ::testing::Values(
        RefusalCase{"partitionHolder", [](const auto& s) { s.addHolder("sdb/sdb1", "dm-0"); }, "", "sdb",
                    "sdb1 is in use by dm-0"},
        RefusalCase{"diskHolders",
                    [](const auto& s) {
                        s.addHolder("sdb", "md127");
                        s.addHolder("sdb", "dm-1");
                    },
                    "", "sdb", "sdb is in use by dm-1, md127"},
        RefusalCase{"partition", none, "", "sdb1", "sdb1 is a partition, not a whole disk"},
        RefusalCase{"unknownDisk", none, "", "sdz", "the kernel lists no block device sdz"},
        RefusalCase{"pathNotName", none, "", "../sdb", "\"../sdb\" is not a disk name"},
        RefusalCase{"emptyName", none, "", "", "\"\" is not a disk name"},
        RefusalCase{"foreignMountInside", none, "30 20 0:50 / /media/u/STICK/tmp rw - tmpfs tmpfs rw\n", "sdb",
                    "umount /media/u/STICK: /media/u/STICK/tmp (tmpfs, not on sdb) is mounted inside it"}),
    test::CaseName{});

TEST_F(WholeDiskUnmounterTest, UnreadableMountTableIsRefused) {
    calls = std::make_shared<ScriptedUnmount>(dir.file("other"), "");
    const auto missing = dir.file("missing").string();
    const DiskUnmountResult expected = DiskUnmountRefused{"cannot read the mount table " + missing};
    EXPECT_EQ(WholeDiskUnmounter(sysfs.root(), missing, calls).unmountWholeDisk("sdb"), expected);
    EXPECT_TRUE(calls->calls.empty());
}

}  // namespace
}  // namespace marlowick
