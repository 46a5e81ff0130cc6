// The scanner against this machine's own /sys and /proc. Runs without root; skips only the
// assertions whose subject this machine lacks.
#include "Block/SysfsDiskScanner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Block/SysfsBlockTree.hpp"
#include "SysfsFixture.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

TEST(SysfsDiskScannerOnThisSystem, TheDiskHoldingTheRootFileSystemIsAProtectedSystemDisk) {
    const auto rootDisk = test::wholeDiskByLsblk("/");
    if (!rootDisk) GTEST_SKIP() << "/ stands on no block device here";
    const auto scanned = SysfsDiskScanner().scan();
    const auto found = std::find_if(scanned.begin(), scanned.end(),
                                    [&](const DiscoveredDisk& disk) { return disk.bsdName == *rootDisk; });
    ASSERT_NE(found, scanned.end()) << *rootDisk << " not listed";
    EXPECT_TRUE(found->isProtectedSystemDisk());
    EXPECT_FALSE(found->isEligibleTarget(DriveVisibility::allExternal, true));
    for (const auto& offered : SysfsDiskScanner().scan(DriveVisibility::allExternal)) {
        EXPECT_NE(offered.bsdName, *rootDisk);
    }
}

TEST(SysfsDiskScannerOnThisSystem, SizesAndSectorSizesAgreeWithLsblk) {
    MARLOWICK_REQUIRE_TOOL("lsblk");
    // Loop devices come and go while other tests run; the fixed disks stay put.
    std::istringstream lines(test::runCommand("lsblk -d -n -b -r -o NAME,SIZE,LOG-SEC,TYPE").output);
    std::string name;
    std::int64_t size = 0;
    int sectorSize = 0;
    std::string type;
    int compared = 0;
    const SysfsDiskScanner scanner;
    while (lines >> name >> size >> sectorSize >> type) {
        if (type == "loop" || size == 0) continue;
        const auto disk = scanner.disk(name);
        if (!disk) continue;  // optical drives are left out on purpose
        SCOPED_TRACE(name);
        EXPECT_EQ(disk->geometry.capacityBytes, size);
        EXPECT_EQ(disk->geometry.sectorSize, sectorSize);
        EXPECT_TRUE(disk->isWhole);
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "no fixed disk listed by lsblk";
}

TEST(SysfsDiskScannerOnThisSystem, ZramDevicesAreSynthesizedContainers) {
    const auto scanned = SysfsDiskScanner().scan();
    bool seen = false;
    for (const auto& disk : scanned) {
        if (!disk.bsdName.starts_with("zram")) continue;
        seen = true;
        EXPECT_TRUE(disk.isSynthesizedContainer()) << disk.bsdName;
        EXPECT_FALSE(disk.isEligibleTarget(DriveVisibility::allExternal, true)) << disk.bsdName;
    }
    if (!seen) GTEST_SKIP() << "no zram device in use here";
}

TEST(SysfsDiskScannerOnThisSystem, APartitionIsNotWhole) {
    const SysfsBlockTree tree;
    const SysfsDiskScanner scanner;
    for (const auto& name : tree.blockNames()) {
        if (!tree.isPartition(name)) continue;
        const auto partition = scanner.disk(name);
        if (!partition) continue;  // its disk went away, or is a detached loop device
        EXPECT_FALSE(partition->isWhole) << name;
        EXPECT_EQ(partition->bsdName, name);
        EXPECT_GT(partition->geometry.capacityBytes, 0);
        EXPECT_EQ(partition->geometry.capacityBytes, *tree.numberAttribute(name, "size") * 512);
        return;
    }
    GTEST_SKIP() << "no partition of a listed disk here";
}

// lsblk reads the same sysfs (and udev's database, where it runs) its own way; every
// answer the two share must agree. A loop device is identified by its backing file, which
// lsblk does not show as a serial number, and it and USB disks are never solid state here.
TEST(SysfsDiskScannerOnThisSystem, AgreesWithLsblkOnEveryDiskItLists) {
    MARLOWICK_REQUIRE_TOOL("lsblk");
    const auto listing =
        nlohmann::json::parse(test::runCommand("lsblk -J -d -b -o NAME,SIZE,LOG-SEC,RM,ROTA,TRAN,VENDOR,MODEL,SERIAL").output);
    const SysfsDiskScanner scanner;
    const auto text = [](const nlohmann::json& value) -> std::optional<std::string> {
        if (!value.is_string()) return std::nullopt;
        const auto trimmed = trimmedWhiteSpace(value.get<std::string>());
        if (trimmed.empty()) return std::nullopt;
        return trimmed;
    };
    const auto ours = [](const std::optional<std::string>& value) -> std::optional<std::string> {
        if (!value || isBlank(*value)) return std::nullopt;
        return trimmedWhiteSpace(*value);
    };
    int compared = 0;
    for (const auto& device : listing.at("blockdevices")) {
        const auto name = device.at("name").get<std::string>();
        const auto disk = scanner.disk(name);
        const auto size = device.at("size").is_number() ? device.at("size").get<std::int64_t>()
                                                        : std::stoll(device.at("size").get<std::string>());
        if (!disk) {
            // Left out on purpose: empty media, detached loop devices, optical and floppy drives.
            EXPECT_TRUE(size == 0 || name.starts_with("sr") || name.starts_with("fd") || name.starts_with("loop"))
                << name << " is missing from the scan";
            continue;
        }
        SCOPED_TRACE(name);
        ++compared;
        const bool isLoop = name.starts_with("loop");
        const auto transport = text(device.at("tran"));
        EXPECT_EQ(disk->geometry.capacityBytes, size);
        EXPECT_EQ(disk->geometry.sectorSize, device.at("log-sec").get<int>());
        if (!name.starts_with("mmcblk")) {
            EXPECT_EQ(disk->isRemovable, device.at("rm").get<bool>());
        }
        EXPECT_EQ(transport == "usb", disk->isUsbTransport());
        if (transport == "nvme") {
            EXPECT_EQ(disk->deviceProtocol, "NVMe");
        }
        if (transport == "sata") {
            EXPECT_EQ(disk->deviceProtocol, "SATA");
        }
        if (!isLoop && transport != "usb" && !disk->isRemovable) {
            EXPECT_EQ(disk->isSolidState, !device.at("rota").get<bool>());
        } else {
            EXPECT_FALSE(disk->isSolidState);
        }
        if (const auto model = text(device.at("model"))) {
            EXPECT_EQ(ours(disk->model), model);
        }
        const auto serial = text(device.at("serial"));
        if (serial && !isLoop) {
            EXPECT_EQ(ours(disk->serialNumber), serial);
        }
        if (const auto vendor = ours(disk->vendor)) {
            EXPECT_EQ(text(device.at("vendor")), vendor);
        }
    }
    if (compared == 0) GTEST_SKIP() << "lsblk lists no disk here";
}

}  // namespace
}  // namespace marlowick
