#include "Block/DeviceFingerprint.hpp"

#include <gtest/gtest.h>

#include "Block/DriveVisibility.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Field = DeviceFingerprint::Field;
using Strength = DeviceFingerprint::Strength;
using Text = std::optional<std::string>;

DeviceFingerprint usbStick() {
    return DeviceFingerprint("4C530001", "SanStick", "Cruzer", "1.00", 16'000'000'000, 512, true, false);
}

TEST(DeviceFingerprint, TrimsWhiteSpaceAndLineBreaksAndDropsEmptyTexts) {
    const DeviceFingerprint f(Text(" \t\n\r "), Text("  Acme Corp \n"), Text("\u00a0Model\u2028X\u3000"),
                              Text("\u2029"), 8192, 4096, false, true);
    EXPECT_EQ(f.serialNumber, std::nullopt);
    EXPECT_EQ(f.vendor, Text("Acme Corp"));
    EXPECT_EQ(f.model, Text("Model\u2028X"));  // inner separators kept
    EXPECT_EQ(f.revision, std::nullopt);
    EXPECT_EQ(f.capacityBytes, 8192);
    EXPECT_EQ(f.sectorSize, 4096);
    EXPECT_FALSE(f.isRemovable);
    EXPECT_TRUE(f.isInternal);
    EXPECT_EQ(f.strength(), Strength::model);

    const DeviceFingerprint trailing("4C530001", "SanStick ", "Cruzer", "1.00", 16'000'000'000, 512, true, false);
    EXPECT_EQ(trailing, usbStick());
    EXPECT_TRUE(trailing.match(usbStick()).isMatch());
    // Set directly (as decoding does), an empty text stays present and differs from absent.
    DeviceFingerprint empty = usbStick();
    empty.revision = "";
    DeviceFingerprint absent = usbStick();
    absent.revision.reset();
    EXPECT_NE(empty, absent);
    EXPECT_EQ(render(empty.match(absent)), "mismatch(field: revision)");
    // Bytes that are not UTF-8 are kept as they are.
    EXPECT_EQ(DeviceFingerprint(Text("\xff "), {}, {}, {}, 1, 512, false, false).serialNumber, Text("\xff"));
}

TEST(DeviceFingerprint, StrengthFollowsSerialThenVendorOrModel) {
    EXPECT_EQ(usbStick().strength(), Strength::unit);
    EXPECT_EQ(DeviceFingerprint({}, {}, "Cruzer", {}, 1, 512, true, false).strength(), Strength::model);
    EXPECT_EQ(DeviceFingerprint({}, "SanStick", {}, {}, 1, 512, true, false).strength(), Strength::model);
    EXPECT_EQ(DeviceFingerprint({}, {}, {}, "1.00", 1, 512, true, false).strength(), Strength::capacityOnly);
    EXPECT_EQ(rawValue(Strength::capacityOnly), "capacityOnly");
    EXPECT_EQ(fingerprintStrengthRawValues.parse("unit"), Strength::unit);
}

struct MatchCase {
    const char* name;
    void (*change)(DeviceFingerprint&);
    const char* result;
};

class DeviceFingerprintMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(DeviceFingerprintMatch, NamesTheFirstDifferenceWhicheverSideAsks) {
    const MatchCase& c = GetParam();
    DeviceFingerprint other = usbStick();
    c.change(other);
    EXPECT_EQ(render(usbStick().match(other)), c.result);
    EXPECT_EQ(render(other.match(usbStick())), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Block, DeviceFingerprintMatch,
    ::testing::Values(
        MatchCase{"same", [](DeviceFingerprint&) {}, "match"},
        MatchCase{"capacityBeforeEverything",
                  [](DeviceFingerprint& f) {
                      f.capacityBytes += 512;
                      f.sectorSize = 4096;
                      f.serialNumber = "other";
                      f.isInternal = true;
                  },
                  "mismatch(field: capacity)"},
        MatchCase{"sectorSizeBeforeSerial",
                  [](DeviceFingerprint& f) {
                      f.sectorSize = 4096;
                      f.serialNumber = "other";
                  },
                  "mismatch(field: sectorSize)"},
        MatchCase{"serialAbsentOnOneSide", [](DeviceFingerprint& f) { f.serialNumber.reset(); },
                  "mismatch(field: serialNumber)"},
        MatchCase{"vendorLetterCase", [](DeviceFingerprint& f) { f.vendor = "SANSTICK"; }, "mismatch(field: vendor)"},
        MatchCase{"modelBeforeRevision",
                  [](DeviceFingerprint& f) {
                      f.model = "Blade";
                      f.revision.reset();
                  },
                  "mismatch(field: model)"},
        MatchCase{"revision", [](DeviceFingerprint& f) { f.revision = "2.00"; }, "mismatch(field: revision)"},
        MatchCase{"removableBeforeInternal",
                  [](DeviceFingerprint& f) {
                      f.isRemovable = false;
                      f.isInternal = true;
                  },
                  "mismatch(field: removable)"},
        MatchCase{"internalBus", [](DeviceFingerprint& f) { f.isInternal = true; }, "mismatch(field: internalBus)"}),
    test::CaseName{});

TEST(DeviceFingerprint, FieldsAndVisibilitiesHaveTheirNamesAsRawTexts) {
    const auto fields = fingerprintFieldRawValues.all();
    std::string names;
    for (const Field field : fields) names += std::string(rawValue(field)) + " ";
    EXPECT_EQ(names, "serialNumber vendor model revision capacity sectorSize removable internalBus ");
    EXPECT_EQ(fingerprintFieldRawValues.parse("internalBus"), Field::internalBus);
    EXPECT_EQ(fingerprintFieldRawValues.parse("InternalBus"), std::nullopt);

    EXPECT_EQ(rawValue(DriveVisibility::usbOnly), "usbOnly");
    EXPECT_EQ(rawValue(DriveVisibility::allExternal), "allExternal");
    EXPECT_EQ(driveVisibilityFromRaw("allExternal"), DriveVisibility::allExternal);
    EXPECT_EQ(driveVisibilityFromRaw("usb"), std::nullopt);
}

}  // namespace
}  // namespace marlowick
