#include "HelperWire/HelperDiskRef.hpp"

#include <gtest/gtest.h>

#include "HelperWire/DeviceFingerprintJson.hpp"
#include "HelperWire/WireRoundTrip.hpp"

namespace marlowick {
namespace {

DiscoveredDisk stick() {
    DiscoveredDisk disk;
    disk.bsdName = "sdb";
    disk.name = "USB stick";
    disk.geometry = BlockGeometry{512, 62521344, 32010928128};
    disk.isWhole = true;
    disk.isRemovable = true;
    disk.isEjectable = true;
    disk.deviceProtocol = "USB";
    return disk;
}

TEST(HelperDiskRef, WorkedExampleOfARemovableStickWithoutIdentityTexts) {
    const HelperDiskRef disk(stick());
    EXPECT_EQ(disk.rawDevicePath, "/dev/sdb");
    test::expectWireRoundTrip(
        R"({"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":62521344,)"
        R"("fingerprint":{"capacityBytes":32010928128,"sectorSize":512,"isRemovable":true,"isInternal":false}})",
        disk);
    // The same document with every slash escaped reads the same.
    EXPECT_EQ(decodeJson<HelperDiskRef>(R"({"rawDevicePath":"\/dev\/sdb","sectorSize":512,"sectorCount":62521344,)"
                                        R"("fingerprint":{"capacityBytes":32010928128,"sectorSize":512,)"
                                        R"("isRemovable":true,"isInternal":false}})"),
              disk);
}

TEST(HelperDiskRef, SelectedDiskFingerprintIsTrimmedAndBlankTextsDropped) {
    DiscoveredDisk disk = stick();
    disk.serialNumber = "   ";
    disk.vendor = " Acme\n";
    disk.model = "Stick 3.0 ";
    disk.revision = "";
    const HelperDiskRef reference(disk);
    ASSERT_TRUE(reference.fingerprint.has_value());
    EXPECT_EQ(reference.fingerprint->serialNumber, std::nullopt);
    EXPECT_EQ(reference.fingerprint->vendor, "Acme");
    EXPECT_EQ(reference.fingerprint->model, "Stick 3.0");
    EXPECT_EQ(reference.fingerprint->revision, std::nullopt);
    test::expectWireRoundTrip(
        R"({"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":62521344,)"
        R"("fingerprint":{"vendor":"Acme","model":"Stick 3.0","capacityBytes":32010928128,"sectorSize":512,)"
        R"("isRemovable":true,"isInternal":false}})",
        reference);
}

TEST(HelperDiskRef, AbsentFingerprintStaysAbsentAndIsNeverWrittenAsNull) {
    const HelperDiskRef bare("/dev/nvme0n1", 4096, 1000, std::nullopt);
    test::expectWireRoundTrip(R"({"rawDevicePath":"/dev/nvme0n1","sectorSize":4096,"sectorCount":1000})", bare);
    EXPECT_EQ(decodeJson<HelperDiskRef>(R"({"rawDevicePath":"/dev/nvme0n1","sectorSize":4096,"sectorCount":1000,)"
                                        R"("fingerprint":null})"),
              bare);
    const auto text = encodeJson(bare);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->find("fingerprint"), std::string::npos);
    EXPECT_NE(bare, HelperDiskRef(stick()));
}

TEST(DeviceFingerprintJson, StoresTextsAsTheyArriveWithoutTrimming) {
    // Decoding bypasses the initialiser: "" stays a present, empty text.
    const auto decoded = decodeJson<DeviceFingerprint>(
        R"({"serialNumber":"","vendor":" V ","model":null,"capacityBytes":8,"sectorSize":512,)"
        R"("isRemovable":false,"isInternal":true,"unknown":[]})");
    EXPECT_EQ(decoded.serialNumber, std::string());
    EXPECT_EQ(decoded.vendor, " V ");
    EXPECT_EQ(decoded.model, std::nullopt);
    EXPECT_NE(decoded, DeviceFingerprint(std::string(), " V ", std::nullopt, std::nullopt, 8, 512, false, true));

    const DeviceFingerprint full("4C53", "Acme", "Stick", "1.00", 16'000'000'000, 512, true, false);
    test::expectWireRoundTrip(R"({"serialNumber":"4C53","vendor":"Acme","model":"Stick","revision":"1.00",)"
                              R"("capacityBytes":16000000000,"sectorSize":512,"isRemovable":true,"isInternal":false})",
                              full);
    const DeviceFingerprint none(std::nullopt, std::nullopt, std::nullopt, std::nullopt, 8, 512, false, false);
    test::expectWireRoundTrip(R"({"capacityBytes":8,"sectorSize":512,"isRemovable":false,"isInternal":false})", none);
}

}  // namespace
}  // namespace marlowick
