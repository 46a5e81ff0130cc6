#include "Helper/TargetVerification.hpp"

#include <gtest/gtest.h>

#include "Helper/WireRoundTrip.hpp"
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

}  // namespace
}  // namespace marlowick
