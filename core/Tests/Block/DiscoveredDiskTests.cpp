#include "Block/DiscoveredDisk.hpp"

#include <gtest/gtest.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Visibility = DriveVisibility;

DiscoveredDisk usbStick(std::string name = "sdb", std::int64_t capacity = 32'000'000'000) {
    DiscoveredDisk disk;
    disk.bsdName = std::move(name);
    disk.name = "Stick";
    disk.geometry = BlockGeometry{512, capacity / 512, capacity};
    disk.isWhole = true;
    disk.isRemovable = true;
    disk.isEjectable = true;
    disk.isInternal = false;
    disk.deviceProtocol = "USB";
    return disk;
}

DiscoveredDisk enclosure(std::int64_t capacity) {
    DiscoveredDisk disk = usbStick("sdc", capacity);
    disk.isRemovable = false;
    disk.isEjectable = false;
    return disk;
}

struct EligibilityCase {
    const char* name;
    DiscoveredDisk disk;
    bool fixedStorage;
    std::optional<DriveCaution> caution;
    // Eligible under usbOnly / allExternal, without and with fixed storage included.
    bool usbOnly, usbOnlyWithFixed, allExternal, allExternalWithFixed;
};

DiscoveredDisk with(DiscoveredDisk disk, void (*change)(DiscoveredDisk&)) {
    change(disk);
    return disk;
}

class DiscoveredDiskEligibility : public ::testing::TestWithParam<EligibilityCase> {};

TEST_P(DiscoveredDiskEligibility, FollowsTheRulesInOrder) {
    const EligibilityCase& c = GetParam();
    EXPECT_EQ(c.disk.isFixedStorage(), c.fixedStorage);
    EXPECT_EQ(c.disk.caution(), c.caution);
    EXPECT_EQ(c.disk.isEligibleTarget(Visibility::usbOnly, false), c.usbOnly);
    EXPECT_EQ(c.disk.isEligibleTarget(Visibility::usbOnly, true), c.usbOnlyWithFixed);
    EXPECT_EQ(c.disk.isEligibleTarget(Visibility::allExternal, false), c.allExternal);
    EXPECT_EQ(c.disk.isEligibleTarget(Visibility::allExternal, true), c.allExternalWithFixed);
}

constexpr auto large = DriveCaution::unusuallyLarge;
constexpr auto inEnclosure = DriveCaution::fixedDiskInEnclosure;

INSTANTIATE_TEST_SUITE_P(
    Disks, DiscoveredDiskEligibility,
    ::testing::Values(
        EligibilityCase{"plainStick", usbStick(), false, std::nullopt, true, true, true, true},
        EligibilityCase{"largeRemovableStick", usbStick("sdb", 256'000'000'000), false, large, true, true, true, true},
        EligibilityCase{"enclosure120GB", enclosure(120'000'000'000), false, inEnclosure, true, true, true, true},
        EligibilityCase{"enclosureAt200GB", enclosure(200'000'000'000), true, inEnclosure, false, true, false, true},
        EligibilityCase{"enclosureJustBelow200GB", enclosure(199'999'999'999), false, inEnclosure, true, true, true,
                        true},
        EligibilityCase{"fixedJustBelow200GBOffUsb",
                        with(enclosure(199'999'999'999), [](DiscoveredDisk& d) { d.deviceProtocol = "SATA"; }), false,
                        std::nullopt, false, false, true, true},
        EligibilityCase{"solidStateUsb", with(usbStick(), [](DiscoveredDisk& d) { d.isSolidState = true; }), true,
                        std::nullopt, false, true, false, true},
        EligibilityCase{"solidStateVirtual",
                        with(usbStick(),
                             [](DiscoveredDisk& d) {
                                 d.isSolidState = true;
                                 d.deviceProtocol = "Virtual Interface";
                             }),
                        false, std::nullopt, false, false, true, true},
        EligibilityCase{"internalFixed",
                        with(usbStick("nvme0n1"),
                             [](DiscoveredDisk& d) {
                                 d.isInternal = true;
                                 d.isRemovable = false;
                                 d.isEjectable = false;
                                 d.deviceProtocol = "PCI-Express";
                             }),
                        false, std::nullopt, false, false, false, false},
        EligibilityCase{"internalCardReader",
                        with(usbStick("mmcblk0"),
                             [](DiscoveredDisk& d) {
                                 d.isInternal = true;
                                 d.deviceProtocol = "Secure Digital";
                             }),
                        false, std::nullopt, false, false, true, true},
        EligibilityCase{"internalUsbCardReader",
                        with(usbStick("sdd"), [](DiscoveredDisk& d) { d.isInternal = true; }), false, std::nullopt,
                        true, true, true, true},
        EligibilityCase{"containerContent",
                        with(usbStick(),
                             [](DiscoveredDisk& d) { d.mediaContent = "EF57347C-0000-11AA-AA11-00306543ECAC"; }),
                        false, std::nullopt, false, false, false, false},
        EligibilityCase{"deviceMapper", usbStick("dm-0"), false, std::nullopt, false, false, false, false},
        EligibilityCase{"mdRaid", usbStick("md127"), false, std::nullopt, false, false, false, false},
        EligibilityCase{"zram", usbStick("zram0"), false, std::nullopt, false, false, false, false},
        EligibilityCase{"ramDisk", usbStick("ram3"), false, std::nullopt, false, false, false, false},
        EligibilityCase{"networkBlockDevice", usbStick("nbd1"), false, std::nullopt, false, false, false, false},
        EligibilityCase{"partition", with(usbStick("sdb1"), [](DiscoveredDisk& d) { d.isWhole = false; }), false,
                        std::nullopt, false, false, false, false},
        EligibilityCase{"noProtocol", with(usbStick(), [](DiscoveredDisk& d) { d.deviceProtocol.reset(); }), false,
                        std::nullopt, false, false, true, true},
        EligibilityCase{"lowerCaseUsb", with(usbStick(), [](DiscoveredDisk& d) { d.deviceProtocol = "usb"; }), false,
                        std::nullopt, false, false, true, true}),
    test::CaseName{});

TEST(DiscoveredDisk, EligibleTargetsSortInPlainCharacterOrder) {
    DiscoveredDisk internal = usbStick("sda");
    internal.isInternal = true;
    internal.isRemovable = false;
    const std::vector<DiscoveredDisk> listed{usbStick("sdb"), usbStick("sdb10"), internal, usbStick("dm-1"),
                                             usbStick("sdb2")};
    std::vector<std::string> names;
    for (const DiscoveredDisk& disk : DiscoveredDisk::eligibleTargets(listed, Visibility::usbOnly, false)) {
        names.push_back(disk.bsdName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"sdb", "sdb10", "sdb2"}));
}

TEST(DiscoveredDisk, PathsAndFingerprint) {
    DiscoveredDisk disk = usbStick("nvme1n1");
    EXPECT_EQ(disk.devicePath(), "/dev/nvme1n1");
    EXPECT_EQ(disk.rawDevicePath(), "/dev/nvme1n1");
    EXPECT_FALSE(disk.isSynthesizedContainer());
    disk.mediaContent = "53746F72-6167-11AA-AA11-00306543ECAC";
    EXPECT_TRUE(disk.isSynthesizedContainer());

    disk.serialNumber = " \t ";
    disk.vendor = "Acme ";
    const DeviceFingerprint fingerprint = disk.fingerprint();
    EXPECT_EQ(fingerprint.serialNumber, std::nullopt);
    EXPECT_EQ(fingerprint.vendor, "Acme");
    EXPECT_EQ(fingerprint.strength(), DeviceFingerprint::Strength::model);
    EXPECT_EQ(fingerprint.capacityBytes, 32'000'000'000);
    EXPECT_EQ(fingerprint.sectorSize, 512);
    EXPECT_TRUE(fingerprint.isRemovable);
    EXPECT_FALSE(fingerprint.isInternal);
    EXPECT_EQ(rawValue(DriveCaution::fixedDiskInEnclosure), "fixedDiskInEnclosure");
}

}  // namespace
}  // namespace marlowick
