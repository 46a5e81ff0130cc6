// The scanner over a fixture sysfs, once with udev's database beside it and once without:
// sysfs answers first, udev fills only what sysfs leaves blank or missing.
#include "Block/SysfsDiskScanner.hpp"

#include <gtest/gtest.h>

#include "Block/UdevDeviceData.hpp"
#include "SysfsFixture.hpp"

namespace marlowick {
namespace {

using test::SysfsFixture;

constexpr const char* usbHub = "pci0000:00/0000:00:14.0/usb2";

class SysfsDiskScannerUdev : public ::testing::Test {
protected:
    void SetUp() override {
        // A cheap USB stick: blank inquiry strings, no serial descriptor on the USB device,
        // not flagged removable and passing on a rotational flag of 0.
        const std::string stick = std::string(usbHub) + "/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0";
        tree.addDisk(stick + "/block/sdb", {8, 16}, 121145344, 512, false, false);
        tree.writeDeviceFile(stick + "/vendor", "        \n");
        tree.writeDeviceFile(stick + "/model", "                \n");
        tree.writeDeviceFile(stick + "/rev", "PMAP\n");
        tree.writeDeviceFile(std::string(usbHub) + "/2-1/idVendor", "0951\n");
        tree.writeDeviceFile(std::string(usbHub) + "/2-1/idProduct", "1666\n");
        tree.writeUdevData({8, 16},
                           "S:disk/by-id/usb-Kingston_DataTraveler_3.0_E0D55EA5741BF3A0C8650F1D-0:0\n"
                           "W:12\nI:2114371\n"
                           "E:ID_BUS=usb\nE:ID_VENDOR=Kingston\nE:ID_VENDOR_ENC=Kingston\n"
                           "E:ID_MODEL=DataTraveler_3.0\nE:ID_MODEL_ENC=DataTraveler\\x203.0\n"
                           "E:ID_REVISION=PMAP\nE:ID_SERIAL_SHORT=E0D55EA5741BF3A0C8650F1D\n"
                           "E:ID_PART_TABLE_TYPE=dos\nG:systemd\n");

        // A USB card reader: sysfs knows its strings, udev words them differently.
        const std::string reader = std::string(usbHub) + "/2-3/2-3:1.0/host7/target7:0:0/7:0:0:0";
        tree.addDisk(reader + "/block/sdc", {8, 32}, 62333952, 512, true);
        tree.writeDeviceFile(reader + "/vendor", "Generic-\n");
        tree.writeDeviceFile(reader + "/model", "SD/MMC          \n");
        tree.writeDeviceFile(reader + "/rev", "1.00\n");
        tree.writeDeviceFile(std::string(usbHub) + "/2-3/idVendor", "0bda\n");
        tree.writeDeviceFile(std::string(usbHub) + "/2-3/idProduct", "0158\n");
        tree.writeDeviceFile(std::string(usbHub) + "/2-3/serial", "000000000819\n");
        tree.writeUdevData({8, 32}, "E:ID_BUS=usb\nE:ID_VENDOR=Realtek\nE:ID_MODEL=Card_Reader\n"
                                    "E:ID_SERIAL_SHORT=REALTEK000\nE:ID_PART_TABLE_TYPE=gpt\n");

        // The NVMe system disk, whose controller reports a serial number of blanks.
        const std::string nvme = "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0";
        tree.addDisk(nvme + "/nvme0n1", {259, 0}, 1000215216, 512, false, false);
        tree.addPartition("nvme0n1", "nvme0n1p1", {259, 1}, 1000212480);
        tree.writeDeviceFile(nvme + "/model", "WDC PC SN530 SDBPNPZ-512G-1002\n");
        tree.writeDeviceFile(nvme + "/serial", "                    \n");
        tree.writeDeviceFile(nvme + "/firmware_rev", "21106000\n");
        tree.addMount("/", {259, 1}, "/dev/nvme0n1p1");
        tree.writeUdevData({259, 0}, "E:ID_MODEL=WDC_PC_SN530_SDBPNPZ-512G-1002\nE:ID_SERIAL_SHORT=21123K801234\n");

        // A SATA data disk: sysfs has the inquiry strings, a cut model and no serial number.
        const std::string sata = "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0";
        tree.addDisk(sata + "/block/sda", {8, 0}, 3907029168);
        tree.writeDeviceFile(sata + "/vendor", "ATA     \n");
        tree.writeDeviceFile(sata + "/model", "ST2000DM008-2FR1\n");
        tree.writeDeviceFile(sata + "/rev", "0001\n");
        tree.writeUdevData({8, 0}, "E:ID_BUS=ata\nE:ID_MODEL=ST2000DM008-2FR102\nE:ID_SERIAL_SHORT=ZFL0ABCD\n");

        // A loop device and a device-mapper volume, each with a udev record of its own.
        tree.addDisk("virtual/block/loop3", {7, 3}, 8192);
        tree.writeDeviceFile("virtual/block/loop3/loop/backing_file", "/var/tmp/images/debian 12.iso\n");
        tree.writeUdevData({7, 3}, "E:ID_FS_LABEL=Debian_12\nE:ID_SERIAL_SHORT=loopserial\n");
        tree.addDisk("virtual/block/dm-0", {254, 0}, 409600, 512, false, false);
        tree.writeDeviceFile("virtual/block/dm-0/dm/name", "vg-data\n");
        tree.writeUdevData({254, 0}, "E:DM_NAME=vg-data\n");
    }

    [[nodiscard]] SysfsDiskScanner scanner(bool withUdev) const {
        SystemRoots roots = tree.roots();
        if (!withUdev) roots.udevData = (tree.path() / "run" / "no-udev").string();
        return SysfsDiskScanner(roots);
    }

    SysfsFixture tree;
};

DiscoveredDisk disk(const char* bsdName, const char* name, BlockGeometry geometry, bool removable, bool ejectable,
                    bool internal, std::optional<std::string> protocol, std::optional<std::string> content,
                    std::optional<std::string> vendor, std::optional<std::string> model,
                    std::optional<std::string> revision, std::optional<std::string> serial, bool solidState) {
    return DiscoveredDisk{bsdName,           name,          geometry,           true,
                          removable,         ejectable,     internal,           std::move(protocol),
                          std::move(content), std::move(vendor), std::move(model), std::move(revision),
                          std::move(serial), solidState};
}

struct UdevCase {
    const char* name;
    DiscoveredDisk withUdev;
    DiscoveredDisk withoutUdev;
};
void PrintTo(const UdevCase& c, std::ostream* os) { *os << c.name; }

const BlockGeometry stickGeometry{512, 121145344, 62026416128};
const BlockGeometry readerGeometry{512, 62333952, 31914983424};
const BlockGeometry nvmeGeometry{512, 1000215216, 512110190592};
const BlockGeometry sataGeometry{512, 3907029168, 2000398934016};

const UdevCase udevCases[] = {
    {"usbStickNamedByUdev",
     disk("sdb", "Kingston DataTraveler 3.0", stickGeometry, false, true, false, "USB", "dos", "Kingston",
          "DataTraveler 3.0", "PMAP", "E0D55EA5741BF3A0C8650F1D", false),
     disk("sdb", "sdb", stickGeometry, false, true, false, "USB", std::nullopt, "        ", "                ", "PMAP",
          std::nullopt, false)},
    {"cardReaderKeepsSysfsWords",
     disk("sdc", "Generic- SD/MMC", readerGeometry, true, true, false, "USB", "gpt", "Generic-", "SD/MMC          ",
          "1.00", "000000000819", false),
     disk("sdc", "Generic- SD/MMC", readerGeometry, true, true, false, "USB", std::nullopt, "Generic-",
          "SD/MMC          ", "1.00", "000000000819", false)},
    {"nvmeBlankSerial",
     disk("nvme0n1", "WDC PC SN530 SDBPNPZ-512G-1002", nvmeGeometry, false, false, true, "NVMe", std::nullopt,
          std::nullopt, "WDC PC SN530 SDBPNPZ-512G-1002", "21106000", "21123K801234", true),
     disk("nvme0n1", "WDC PC SN530 SDBPNPZ-512G-1002", nvmeGeometry, false, false, true, "NVMe", std::nullopt,
          std::nullopt, "WDC PC SN530 SDBPNPZ-512G-1002", "21106000", std::nullopt, true)},
    // udev reads the whole ATA model where the SCSI layer cut it to 16 characters.
    {"sataSerialAndWholeModelFromUdev",
     disk("sda", "ATA ST2000DM008-2FR102", sataGeometry, false, false, true, "SATA", std::nullopt, "ATA     ",
          "ST2000DM008-2FR102", "0001", "ZFL0ABCD", false),
     disk("sda", "ATA ST2000DM008-2FR1", sataGeometry, false, false, true, "SATA", std::nullopt, "ATA     ",
          "ST2000DM008-2FR1", "0001", std::nullopt, false)},
    {"loopKnownByItsBackingFile",
     disk("loop3", "debian 12.iso", {512, 8192, 4194304}, false, false, false, "Virtual Interface", std::nullopt,
          std::nullopt, std::nullopt, std::nullopt, "/var/tmp/images/debian 12.iso", false),
     disk("loop3", "debian 12.iso", {512, 8192, 4194304}, false, false, false, "Virtual Interface", std::nullopt,
          std::nullopt, std::nullopt, std::nullopt, "/var/tmp/images/debian 12.iso", false)},
    {"deviceMapperByItsName",
     disk("dm-0", "vg-data", {512, 409600, 209715200}, false, false, true, std::nullopt, std::nullopt, std::nullopt,
          std::nullopt, std::nullopt, std::nullopt, true),
     disk("dm-0", "vg-data", {512, 409600, 209715200}, false, false, true, std::nullopt, std::nullopt, std::nullopt,
          std::nullopt, std::nullopt, std::nullopt, true)},
};

class SysfsDiskScannerUdevDisks : public SysfsDiskScannerUdev, public ::testing::WithParamInterface<UdevCase> {};

TEST_P(SysfsDiskScannerUdevDisks, SysfsFirstThenUdev) {
    const UdevCase& c = GetParam();
    EXPECT_EQ(scanner(true).disk(c.withUdev.bsdName), c.withUdev);
    EXPECT_EQ(scanner(false).disk(c.withoutUdev.bsdName), c.withoutUdev);
}

INSTANTIATE_TEST_SUITE_P(Fixture, SysfsDiskScannerUdevDisks, ::testing::ValuesIn(udevCases), test::CaseName{});

TEST_F(SysfsDiskScannerUdev, AnOrdinaryUsbStickIsOfferedByDefault) {
    for (const bool withUdev : {true, false}) {
        SCOPED_TRACE(withUdev);
        const auto stick = scanner(withUdev).disk("sdb");
        ASSERT_TRUE(stick.has_value());
        EXPECT_FALSE(stick->isSolidState) << "its rotational flag of 0 is the bridge's word, not the medium's";
        EXPECT_FALSE(stick->isFixedStorage());
        std::vector<std::string> offered;
        for (const auto& each : scanner(withUdev).scan(DriveVisibility::usbOnly)) offered.push_back(each.bsdName);
        EXPECT_EQ(offered, (std::vector<std::string>{"sdb", "sdc"}));
    }
}

TEST_F(SysfsDiskScannerUdev, TheFingerprintIsTheSameForTheAppAndTheHelper) {
    // Both programs scan the same machine the same way; the udev texts reach the
    // fingerprint trimmed, like every other.
    const auto stick = scanner(true).disk("sdb");
    ASSERT_TRUE(stick.has_value());
    const DeviceFingerprint expected("E0D55EA5741BF3A0C8650F1D", "Kingston", "DataTraveler 3.0", "PMAP",
                                     62026416128, 512, false, false);
    EXPECT_EQ(stick->fingerprint(), expected);
    EXPECT_EQ(stick->fingerprint().strength(), DeviceFingerprint::Strength::unit);
    EXPECT_EQ(scanner(false).disk("sdb")->fingerprint().strength(), DeviceFingerprint::Strength::capacityOnly);
}

TEST(UdevDeviceData, ReadsThePropertyLinesOfARecord) {
    const auto data = UdevDeviceData::parse(
        "S:disk/by-id/usb-x\nE:ID_VENDOR=SanDisk\nE:ID_VENDOR_ENC=SanDisk\\x20\nE:ID_MODEL=Ultra_Fit\n"
        "E:ID_MODEL_ENC=Ultra\\x20Fit\\x5cX\\x2\nE:ID_EMPTY=\nE:=nameless\nE:NOEQUALS\nX:ID_SERIAL=other\n"
        "E:ID_SERIAL_SHORT=first\nE:ID_SERIAL_SHORT=second\nE:ID_TEXT=a=b");
    EXPECT_EQ(data.value("ID_VENDOR"), "SanDisk");
    EXPECT_EQ(data.text("ID_VENDOR"), "SanDisk ") << "the encoded form keeps the device's own blanks";
    EXPECT_EQ(data.text("ID_MODEL"), "Ultra Fit\\X\\x2") << "a cut-off escape stays as written";
    EXPECT_EQ(data.value("ID_EMPTY"), std::nullopt);
    EXPECT_EQ(data.value("ID_SERIAL"), std::nullopt);
    EXPECT_EQ(data.value("NOEQUALS"), std::nullopt);
    EXPECT_EQ(data.value("ID_SERIAL_SHORT"), "second");
    EXPECT_EQ(data.value("ID_TEXT"), "a=b");
    EXPECT_EQ(data.text("ID_MISSING"), std::nullopt);
    EXPECT_TRUE(UdevDeviceData::parse("").empty());
    EXPECT_TRUE(UdevDeviceData::read("/nonexistent/udev/data", {8, 0}).empty());
}

TEST(UdevDeviceData, EscapedBytesThatAreNotUtf8NeverReachTheFingerprint) {
    SysfsFixture tree;
    const std::string stick = std::string(usbHub) + "/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0";
    tree.addDisk(stick + "/block/sdd", {8, 48}, 2048, 512, true);
    tree.writeDeviceFile(std::string(usbHub) + "/2-1/idVendor", "0951\n");
    tree.writeDeviceFile(std::string(usbHub) + "/2-1/idProduct", "1666\n");
    tree.writeUdevData({8, 48}, "E:ID_VENDOR_ENC=Bad\\xff\\xfe\nE:ID_SERIAL_SHORT=ok\n");
    const auto found = SysfsDiskScanner(tree.roots()).disk("sdd");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->vendor, "Bad\uFFFD\uFFFD");
    EXPECT_EQ(found->name, "Bad\uFFFD\uFFFD");
}

}  // namespace
}  // namespace marlowick
