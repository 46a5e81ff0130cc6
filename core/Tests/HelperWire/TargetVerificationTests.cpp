#include "HelperWire/TargetVerification.hpp"

#include <gtest/gtest.h>

#include "Block/FakeProbes.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/WireRoundTrip.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Verdict = TargetVerification::Verdict;
using Reason = TargetVerification::IneligibilityReason;
using Field = DeviceFingerprint::Field;

constexpr const char* notTheSelectedDrive =
    "The drive at that position isn't the one you selected \u2014 Linux may have renumbered it, or a different drive "
    "was plugged in. Marlowick stopped before writing anything. Choose the drive again to continue.";
constexpr const char* partOfAnotherDrive =
    "That's part of another drive rather than a drive of its own, so Marlowick refused to write to it. Nothing was "
    "changed. Choose the whole drive instead.";

struct VerdictCase {
    const char* name;
    Verdict verdict;
    const char* wire;
    const char* userText;
    const char* diagnostic;
};

class TargetVerdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(TargetVerdicts, WireFormAndTextsAreExact) {
    const VerdictCase& c = GetParam();
    test::expectWireRoundTrip(c.wire, c.verdict);
    EXPECT_EQ(userMessage(c.verdict), c.userText);
    EXPECT_EQ(diagnosticDescription(c.verdict), c.diagnostic);
    EXPECT_EQ(c.verdict.isVerified(), std::string_view(c.name) == "verified");
}

INSTANTIATE_TEST_SUITE_P(
    EveryCase, TargetVerdicts,
    ::testing::Values(
        VerdictCase{"verified", {Verdict::Verified{}}, R"({"kind":"verified"})", "The drive was verified.", "verified"},
        VerdictCase{"malformedDevicePath",
                    {Verdict::MalformedDevicePath{"/dev/sdb1x"}},
                    R"({"kind":"malformedDevicePath","path":"/dev/sdb1x"})",
                    "Marlowick couldn't start the operation because of an internal error. The drive was not changed.",
                    "not a whole-disk raw node: /dev/sdb1x"},
        VerdictCase{"deviceNotFound",
                    {Verdict::DeviceNotFound{"sdc"}},
                    R"({"kind":"deviceNotFound","bsdName":"sdc"})",
                    "The drive you selected isn't connected any more, so Marlowick stopped before writing anything. "
                    "Plug it back in and choose it again.",
                    "sdc is no longer attached"},
        VerdictCase{"notWholeDisk",
                    {Verdict::IneligibleTarget{"sdb1", Reason::notWholeDisk}},
                    R"({"kind":"ineligibleTarget","bsdName":"sdb1","reason":"notWholeDisk"})", partOfAnotherDrive,
                    "sdb1 is not a legal target: notWholeDisk"},
        VerdictCase{"synthesizedContainer",
                    {Verdict::IneligibleTarget{"dm-0", Reason::synthesizedContainer}},
                    R"({"kind":"ineligibleTarget","bsdName":"dm-0","reason":"synthesizedContainer"})",
                    partOfAnotherDrive, "dm-0 is not a legal target: synthesizedContainer"},
        VerdictCase{"systemDisk",
                    {Verdict::IneligibleTarget{"nvme0n1", Reason::systemDisk}},
                    R"({"kind":"ineligibleTarget","bsdName":"nvme0n1","reason":"systemDisk"})",
                    "That's this computer's own system disk, so Marlowick refused to write to it. Nothing was changed.",
                    "nvme0n1 is not a legal target: systemDisk"},
        VerdictCase{"fingerprintMissing",
                    {Verdict::FingerprintMissing{"sdb"}},
                    R"({"kind":"fingerprintMissing","bsdName":"sdb"})", notTheSelectedDrive,
                    "sdb had no captured fingerprint to verify against"},
        VerdictCase{"fingerprintMismatch",
                    {Verdict::FingerprintMismatch{"sdb", Field::serialNumber}},
                    R"({"kind":"fingerprintMismatch","bsdName":"sdb","field":"serialNumber"})", notTheSelectedDrive,
                    "sdb is a different device: serialNumber changed"},
        VerdictCase{"fingerprintMismatchInternalBus",
                    {Verdict::FingerprintMismatch{"sdb", Field::internalBus}},
                    R"({"kind":"fingerprintMismatch","bsdName":"sdb","field":"internalBus"})", notTheSelectedDrive,
                    "sdb is a different device: internalBus changed"}),
    test::CaseName{});

TEST(TargetVerdict, EqualityComparesCaseAndEveryPayload) {
    const Verdict system{Verdict::IneligibleTarget{"sdb", Reason::systemDisk}};
    const Verdict partition{Verdict::IneligibleTarget{"sdb", Reason::notWholeDisk}};
    EXPECT_NE(system, partition);
    EXPECT_EQ(system, (Verdict{Verdict::IneligibleTarget{"sdb", Reason::systemDisk}}));
    EXPECT_NE((Verdict{Verdict::FingerprintMissing{"sdb"}}), (Verdict{Verdict::DeviceNotFound{"sdb"}}));
    EXPECT_EQ(render(partition), "ineligibleTarget(bsdName: \"sdb\", reason: notWholeDisk)");
}

TEST(TargetVerdict, DecodingNeedsTheKeysOfItsKindOnly) {
    // Keys the kind does not use are ignored.
    EXPECT_EQ(decodeJson<Verdict>(R"({"kind":"verified","bsdName":"sdb","reason":7})"), Verdict{Verdict::Verified{}});
    for (const char* refused : {R"({"kind":"Verified"})", R"({})", R"({"kind":"deviceNotFound"})",
                                R"({"kind":"ineligibleTarget","bsdName":"sdb","reason":"SystemDisk"})",
                                R"({"kind":"fingerprintMismatch","bsdName":"sdb","field":"serial"})",
                                R"({"kind":"fingerprintMismatch","bsdName":"sdb"})",
                                R"({"kind":"malformedDevicePath","path":null})"}) {
        EXPECT_EQ(tryDecodeJson<Verdict>(refused), std::nullopt) << refused;
    }
}

TEST(TargetVerification, TheKernelNameIsTheOneComponentAfterDev) {
    const struct {
        std::string_view path;
        std::optional<std::string> name;
    } cases[] = {
        {"/dev/sdb", "sdb"},
        {"/dev/nvme0n1", "nvme0n1"},
        {"/dev/mmcblk0", "mmcblk0"},
        {"/dev/loop3", "loop3"},
        {"/dev/dm-0", "dm-0"},
        {"/dev/sdb1", "sdb1"},  // a partition's name: the probe tells it is not whole
        {"/dev/..x", "..x"},
        {"/dev/", std::nullopt},
        {"/dev/.", std::nullopt},
        {"/dev/..", std::nullopt},
        {"/dev/../sda", std::nullopt},
        {"/dev/sdb/", std::nullopt},
        {"/dev/disk/by-id/usb-SanDisk_Cruzer", std::nullopt},
        {"/dev//sdb", std::nullopt},
        {"sdb", std::nullopt},
        {"/Dev/sdb", std::nullopt},
        {" /dev/sdb", std::nullopt},
        {"/dev/sdb ", std::nullopt},
        {"/dev/sd\xC3\xA9", std::nullopt},
        {std::string_view("/dev/sd\0b", 9), std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TargetVerification::wholeDiskBSDName(c.path), c.name) << c.path;
    }
}

struct VerifyCase {
    const char* name;
    std::string rawPath;
    bool writes;
    std::optional<DiscoveredDisk> attached;
    std::optional<DeviceFingerprint> reference;
    Verdict expected;
};

DiscoveredDisk changed(DiscoveredDisk disk, void (*change)(DiscoveredDisk&)) {
    change(disk);
    return disk;
}

DeviceFingerprint changedPrint(void (*change)(DeviceFingerprint&)) {
    DeviceFingerprint fingerprint = test::usbStick().fingerprint();
    change(fingerprint);
    return fingerprint;
}

class TargetVerificationVerdicts : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(TargetVerificationVerdicts, FirstFailingCheckDecides) {
    const VerifyCase& c = GetParam();
    test::FakeDeviceProbe probe;
    if (c.attached) probe.disks.emplace(c.attached->bsdName, *c.attached);
    const HelperDiskRef disk(c.rawPath, 512, 62521344, c.reference);
    EXPECT_EQ(TargetVerification::verify(disk, c.writes, probe), c.expected);
    const auto name = TargetVerification::wholeDiskBSDName(c.rawPath);
    EXPECT_EQ(probe.asked, name ? std::vector{*name} : std::vector<std::string>{}) << "one fresh look-up, by that name";
}

const DeviceFingerprint stickPrint = test::usbStick().fingerprint();

INSTANTIATE_TEST_SUITE_P(
    Rules, TargetVerificationVerdicts,
    ::testing::Values(
        VerifyCase{"sameStickVerified", "/dev/sdb", true, test::usbStick(), stickPrint, {Verdict::Verified{}}},
        VerifyCase{"pathOfNoKernelName", "/dev/disk/by-id/usb-x", true, test::usbStick(), stickPrint,
                   {Verdict::MalformedDevicePath{"/dev/disk/by-id/usb-x"}}},
        VerifyCase{"gone", "/dev/sdb", true, std::nullopt, stickPrint, {Verdict::DeviceNotFound{"sdb"}}},
        VerifyCase{"partition", "/dev/sdb1", false,
                   changed(test::usbStick("sdb1"), [](DiscoveredDisk& d) { d.isWhole = false; }), stickPrint,
                   {Verdict::IneligibleTarget{"sdb1", Reason::notWholeDisk}}},
        // A partition of the system disk is refused as a partition: wholeness is checked first.
        VerifyCase{"partitionOfTheSystemDisk", "/dev/nvme0n1p2", false,
                   changed(test::usbStick("nvme0n1p2"),
                           [](DiscoveredDisk& d) {
                               d.isWhole = false;
                               d.isRemovable = false;
                               d.isInternal = true;
                           }),
                   std::nullopt, {Verdict::IneligibleTarget{"nvme0n1p2", Reason::notWholeDisk}}},
        VerifyCase{"containerContent", "/dev/sdb", true,
                   changed(test::usbStick(),
                           [](DiscoveredDisk& d) { d.mediaContent = "EF57347C-0000-11AA-AA11-00306543ECAC"; }),
                   stickPrint, {Verdict::IneligibleTarget{"sdb", Reason::synthesizedContainer}}},
        VerifyCase{"deviceMapperDisk", "/dev/dm-0", false, test::usbStick("dm-0"), std::nullopt,
                   {Verdict::IneligibleTarget{"dm-0", Reason::synthesizedContainer}}},
        VerifyCase{"systemDiskEvenForDetect", "/dev/nvme0n1", false,
                   changed(test::usbStick("nvme0n1"),
                           [](DiscoveredDisk& d) {
                               d.isRemovable = false;
                               d.isInternal = true;
                           }),
                   std::nullopt, {Verdict::IneligibleTarget{"nvme0n1", Reason::systemDisk}}},
        VerifyCase{"noFingerprintForARead", "/dev/sdb", false, test::usbStick(), std::nullopt, {Verdict::Verified{}}},
        VerifyCase{"noFingerprintForAWrite", "/dev/sdb", true, test::usbStick(), std::nullopt,
                   {Verdict::FingerprintMissing{"sdb"}}},
        // Capacity is compared before the serial number.
        VerifyCase{"sameSerialOtherCapacity", "/dev/sdb", true, test::usbStick(),
                   changedPrint([](DeviceFingerprint& f) {
                       f.capacityBytes = 16005464064;
                       f.vendor = "Other";
                   }),
                   {Verdict::FingerprintMismatch{"sdb", Field::capacity}}},
        VerifyCase{"otherSerial", "/dev/sdb", false, test::usbStick(),
                   changedPrint([](DeviceFingerprint& f) { f.serialNumber = "4C530001231120115143"; }),
                   {Verdict::FingerprintMismatch{"sdb", Field::serialNumber}}},
        VerifyCase{"blankVendorIsAbsent", "/dev/sdb", true,
                   changed(test::usbStick(), [](DiscoveredDisk& d) { d.vendor = " \t\n"; }),
                   changedPrint([](DeviceFingerprint& f) { f.vendor = std::nullopt; }), {Verdict::Verified{}}},
        // The reference's own texts are compared as they arrive, untrimmed.
        VerifyCase{"referenceTextsAreNotTrimmed", "/dev/sdb", true, test::usbStick(),
                   changedPrint([](DeviceFingerprint& f) { f.model = "Cruzer Blade "; }),
                   {Verdict::FingerprintMismatch{"sdb", Field::model}}}),
    test::CaseName{});

}  // namespace
}  // namespace marlowick
