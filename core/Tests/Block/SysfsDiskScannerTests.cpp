#include "Block/SysfsDiskScanner.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "Block/SystemDiskUse.hpp"
#include "SysfsFixture.hpp"

namespace marlowick {
namespace {

using test::SysfsFixture;

constexpr const char* usbHub = "pci0000:00/0000:00:14.0/usb1";

// One machine with a disk of every kind the scanner tells apart.
class SysfsDiskScannerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // A USB stick: SCSI inquiry strings padded with blanks, the serial number on the USB device.
        const std::string stick = std::string(usbHub) + "/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0";
        tree.addDisk(stick + "/block/sdb", {8, 16}, 30031872, 512, true);
        tree.addPartition("sdb", "sdb1", {8, 17}, 30029824);
        tree.writeDeviceFile(stick + "/vendor", "SanDisk \n");
        tree.writeDeviceFile(stick + "/model", "Cruzer Blade    \n");
        tree.writeDeviceFile(stick + "/rev", "1.00\n");
        writeUsbDevice("1-2", "4C530001230913118183");

        // An SD card in a USB card reader.
        const std::string reader = std::string(usbHub) + "/1-3/1-3:1.0/host7/target7:0:0/7:0:0:0";
        tree.addDisk(reader + "/block/sdc", {8, 32}, 62333952, 512, true);
        tree.writeDeviceFile(reader + "/vendor", "Generic-\n");
        tree.writeDeviceFile(reader + "/model", "SD/MMC          \n");
        tree.writeDeviceFile(reader + "/rev", "1.00\n");
        writeUsbDevice("1-3", "000000000819");

        // The same kind of reader with no card in it.
        const std::string emptyReader = std::string(usbHub) + "/1-4/1-4:1.0/host8/target8:0:0/8:0:0:0";
        tree.addDisk(emptyReader + "/block/sdz", {65, 144}, 0, 512, true);
        tree.writeDeviceFile(emptyReader + "/model", "SD/MMC          \n");
        writeUsbDevice("1-4", "000000000820");

        // A card in the machine's own SD slot; the kernel does not flag it removable.
        const std::string slot = "platform/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa";
        tree.addDisk(slot + "/block/mmcblk0", {179, 0}, 62521344, 512, false, false);
        tree.writeDeviceFile(slot + "/type", "SD\n");
        tree.writeDeviceFile(slot + "/name", "SC32G\n");
        tree.writeDeviceFile(slot + "/serial", "0x1234abcd\n");

        // The system disk: NVMe with 4096-byte sectors, the root file system on its second partition.
        const std::string nvme = "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0";
        tree.addDisk(nvme + "/nvme0n1", {259, 0}, 2000409264, 4096, false, false);
        tree.addPartition("nvme0n1", "nvme0n1p1", {259, 1}, 1048576);
        tree.addPartition("nvme0n1", "nvme0n1p2", {259, 2}, 1999358000);
        tree.writeDeviceFile(nvme + "/model", "Samsung SSD 980 1TB                     \n");
        tree.writeDeviceFile(nvme + "/serial", "S649NF0R123456      \n");
        tree.writeDeviceFile(nvme + "/firmware_rev", "2B4QFXO7\n");
        tree.addMount("/", {259, 2}, "/dev/nvme0n1p2");

        // A SATA disk whose partition is an LVM physical volume under dm-0.
        const std::string sata = "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0";
        tree.addDisk(sata + "/block/sda", {8, 0}, 3907029168);
        tree.addPartition("sda", "sda1", {8, 1}, 3907026944);
        tree.writeDeviceFile(sata + "/vendor", "ATA     \n");
        tree.writeDeviceFile(sata + "/model", "ST2000DM008-2FR1\n");
        tree.writeDeviceFile(sata + "/rev", "0001\n");
        tree.addDisk("virtual/block/dm-0", {254, 0}, 3907026944, 512, false, false);
        tree.stack("dm-0", "sda1");

        // An attached loop device, a detached one, and an optical drive.
        tree.addDisk("virtual/block/loop3", {7, 3}, 8192);
        tree.writeDeviceFile("virtual/block/loop3/loop/backing_file", "/var/tmp/images/debian 12.iso\n");
        tree.addDisk("virtual/block/loop4", {7, 4}, 0);
        tree.addDisk("pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/block/sr0", {11, 0}, 2097152, 2048, true);
    }

    void writeUsbDevice(const std::string& port, const std::string& serial) {
        const std::string device = std::string(usbHub) + "/" + port;
        tree.writeDeviceFile(device + "/idVendor", "0781\n");
        tree.writeDeviceFile(device + "/idProduct", "5567\n");
        tree.writeDeviceFile(device + "/serial", serial + "\n");
    }

    [[nodiscard]] SysfsDiskScanner scanner() const { return SysfsDiskScanner(tree.roots()); }

    SysfsFixture tree;
};

struct DiskCase {
    const char* name;
    DiscoveredDisk expected;
};

DiscoveredDisk disk(const char* bsdName, const char* displayName, BlockGeometry geometry, bool removable,
                    bool ejectable, bool internal, std::optional<std::string> protocol,
                    std::optional<std::string> vendor, std::optional<std::string> model,
                    std::optional<std::string> revision, std::optional<std::string> serial, bool solidState) {
    return DiscoveredDisk{bsdName,  displayName, geometry, true,  removable, ejectable, internal, std::move(protocol),
                          std::nullopt, std::move(vendor), std::move(model), std::move(revision), std::move(serial),
                          solidState};
}

const DiskCase diskCases[] = {
    {"usbStick",
     disk("sdb", "SanDisk Cruzer Blade", {512, 30031872, 15376318464}, true, true, false, "USB", "SanDisk ",
          "Cruzer Blade    ", "1.00", "4C530001230913118183", false)},
    {"cardInUsbReader",
     disk("sdc", "Generic- SD/MMC", {512, 62333952, 31914983424}, true, true, false, "USB", "Generic-",
          "SD/MMC          ", "1.00", "000000000819", false)},
    {"cardInBuiltInSlot",
     disk("mmcblk0", "SC32G", {512, 62521344, 32010928128}, true, true, false, "SD", std::nullopt, "SC32G",
          std::nullopt, "0x1234abcd", false)},
    {"nvmeSystemDisk",
     disk("nvme0n1", "Samsung SSD 980 1TB", {4096, 250051158, 1024209543168}, false, false, true, "NVMe",
          std::nullopt, "Samsung SSD 980 1TB                     ", "2B4QFXO7", "S649NF0R123456      ", true)},
    {"sataLvmMember",
     disk("sda", "ATA ST2000DM008-2FR1", {512, 3907029168, 2000398934016}, false, false, true, "SATA", "ATA     ",
          "ST2000DM008-2FR1", "0001", std::nullopt, false)},
    {"deviceMapper",
     disk("dm-0", "dm-0", {512, 3907026944, 2000397795328}, false, false, true, std::nullopt, std::nullopt,
          std::nullopt, std::nullopt, std::nullopt, true)},
    {"attachedLoop",
     disk("loop3", "debian 12.iso", {512, 8192, 4194304}, false, false, false, "Virtual Interface", std::nullopt,
          std::nullopt, std::nullopt, "/var/tmp/images/debian 12.iso", false)},
};

class SysfsDiskScannerDisks : public SysfsDiskScannerFixture, public ::testing::WithParamInterface<DiskCase> {};

TEST_P(SysfsDiskScannerDisks, AreDescribedFromSysfs) {
    const auto found = scanner().disk(GetParam().expected.bsdName);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Fixture, SysfsDiskScannerDisks, ::testing::ValuesIn(diskCases), test::CaseName{});

TEST_F(SysfsDiskScannerFixture, ListsWholeDisksInNameOrderAndLeavesOutEmptyOpticalAndDetached) {
    std::vector<std::string> names;
    for (const auto& found : scanner().scan()) {
        EXPECT_TRUE(found.isWhole) << found.bsdName;
        names.push_back(found.bsdName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"dm-0", "loop3", "mmcblk0", "nvme0n1", "sda", "sdb", "sdc"}));
}

TEST_F(SysfsDiskScannerFixture, ProtectsTheSystemDiskAndTheStorageUnderneathOtherDevices) {
    for (const auto& found : scanner().scan()) {
        const bool system = found.bsdName == "nvme0n1" || found.bsdName == "sda" || found.bsdName == "dm-0";
        EXPECT_EQ(found.isProtectedSystemDisk(), system) << found.bsdName;
    }
    EXPECT_TRUE(scanner().disk("dm-0")->isSynthesizedContainer());
}

TEST_F(SysfsDiskScannerFixture, WithAVisibilityListsOnlyEligibleTargets) {
    const auto names = [](const std::vector<DiscoveredDisk>& disks) {
        std::vector<std::string> found;
        for (const auto& each : disks) found.push_back(each.bsdName);
        return found;
    };
    EXPECT_EQ(names(scanner().scan(DriveVisibility::usbOnly)), (std::vector<std::string>{"sdb", "sdc"}));
    EXPECT_EQ(names(scanner().scan(DriveVisibility::allExternal)),
              (std::vector<std::string>{"loop3", "mmcblk0", "sdb", "sdc"}));
}

TEST_F(SysfsDiskScannerFixture, APartitionHasItsOwnSizeAndItsDisksSectorSizeAndIdentity) {
    const auto partition = scanner().disk("nvme0n1p2");
    ASSERT_TRUE(partition.has_value());
    EXPECT_FALSE(partition->isWhole);
    EXPECT_EQ(partition->bsdName, "nvme0n1p2");
    const BlockGeometry geometry{4096, 249919750, 1023671296000};
    EXPECT_EQ(partition->geometry, geometry);
    EXPECT_EQ(partition->serialNumber, "S649NF0R123456      ");
    EXPECT_TRUE(partition->isProtectedSystemDisk());
    EXPECT_FALSE(partition->isEligibleTarget(DriveVisibility::allExternal, true));
}

TEST_F(SysfsDiskScannerFixture, FindsNothingForUnknownEmptyOrEscapingNames) {
    for (const char* name : {"sdq", "sdz", "loop4", "sr0", "", ".", "..", "../../../etc", "sdb/sdb1"}) {
        EXPECT_FALSE(scanner().disk(name).has_value()) << '"' << name << '"';
    }
}

TEST_F(SysfsDiskScannerFixture, AUsbDiskHoldingTheSystemsSwapIsProtected) {
    tree.addSwap("/dev/sdc", "partition");
    const auto reader = scanner().disk("sdc");
    ASSERT_TRUE(reader.has_value());
    EXPECT_TRUE(reader->isProtectedSystemDisk());
    EXPECT_FALSE(reader->isEligibleTarget(DriveVisibility::usbOnly, true));
}

TEST(SysfsDiskScanner, FindsNothingWithoutASysfs) {
    test::TempDir empty;
    const SysfsDiskScanner scanner(
        SystemRoots{empty.file("sys"), empty.file("proc"), empty.file("dev"), empty.file("udev")});
    EXPECT_TRUE(scanner.scan().empty());
    EXPECT_FALSE(scanner.disk("sda").has_value());
}

}  // namespace
}  // namespace marlowick
