#include "HelperWire/HelperBlockError.hpp"

#include <gtest/gtest.h>

#include "Block/BlockErrorText.hpp"
#include "HelperWire/WireRoundTrip.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

TEST(HelperBlockError, WireFormOfEveryCase) {
    test::expectWireRoundTrip(R"({"outOfBounds":{"startSector":62521300,"sectorCount":64,"deviceSectorCount":62521344}})",
                              HelperBlockError(BlockError{BlockError::OutOfBounds{62521300, 64, 62521344}}));
    test::expectWireRoundTrip(
        R"j({"deviceFailure":{"operation":"read","detail":"lba 2048: errno 5 (Input/output error)"}})j",
        HelperBlockError(BlockError{BlockError::DeviceFailure{"read", "lba 2048: errno 5 (Input/output error)"}}));
    test::expectWireRoundTrip(R"({"negativeSector":{"startSector":-1}})",
                              HelperBlockError(BlockError::NegativeSector{-1}));
    test::expectWireRoundTrip(R"({"misalignedLength":{"length":513,"sectorSize":512}})",
                              HelperBlockError(BlockError::MisalignedLength{513, 512}));
    test::expectWireRoundTrip(R"({"invalidSectorCount":{"sectorCount":0}})",
                              HelperBlockError(BlockError::InvalidSectorCount{0}));
    test::expectWireRoundTrip(R"({"closed":{"operation":"read"}})", HelperBlockError(BlockError::Closed{"read"}));

    // The block layer keeps a sector size in an int: a wider one is refused, not truncated.
    EXPECT_EQ(tryDecodeJson<HelperBlockError>(R"({"misalignedLength":{"length":1,"sectorSize":4294967808}})"),
              std::nullopt);
    EXPECT_NE(HelperBlockError(BlockError::Closed{"read"}), HelperBlockError(BlockError::Closed{"write"}));
    EXPECT_EQ(render(HelperBlockError(BlockError::Closed{"read"})), "closed(operation: \"read\")");
}

struct TextCase {
    const char* name;
    BlockError error;
    const char* userText;
    const char* diagnostic;
};

constexpr const char* addressed =
    "Marlowick addressed a region this drive doesn't have. That's a bug in Marlowick \u2014 the drive was not changed.";
constexpr const char* permission =
    "Linux didn't allow Marlowick to use this drive. A security policy on this computer (AppArmor, SELinux or a "
    "locked-down kernel) is most likely keeping programs from using drives directly. Check that policy, or ask "
    "whoever manages this computer, then try again.";

constexpr const char* inUse =
    "Another program is using this drive, so Marlowick couldn't open it for itself. Close any program that uses the "
    "drive, and unmount its volumes wherever they are mounted, then try again.";
constexpr const char* writeProtected =
    "This drive is write-protected, so Marlowick couldn't write to it. If it has a write-protect switch, turn it "
    "off, then plug it back in and try again.";

class BlockErrorTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(BlockErrorTexts, AreExact) {
    const TextCase& c = GetParam();
    EXPECT_EQ(userMessage(c.error), c.userText);
    EXPECT_EQ(userMessage(HelperBlockError(c.error)), c.userText);
    EXPECT_EQ(diagnosticDescription(HelperBlockError(c.error)), c.diagnostic);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCase, BlockErrorTexts,
    ::testing::Values(
        TextCase{"negativeSector", {BlockError::NegativeSector{-8}}, addressed, "negative sector -8"},
        TextCase{"outOfBounds",
                 {BlockError::OutOfBounds{62521300, 64, 62521344}},
                 addressed,
                 "out of bounds: 64 sector(s) at 62521300 on a 62521344-sector device"},
        TextCase{"misalignedLength", {BlockError::MisalignedLength{1000, 512}}, addressed,
                 "misaligned length 1000 for 512B sectors"},
        TextCase{"invalidSectorCount", {BlockError::InvalidSectorCount{-3}}, addressed, "invalid sector count -3"},
        TextCase{"closedWrite",
                 {BlockError::Closed{"write"}},
                 "The connection to the drive closed before Marlowick finished writing to it \u2014 it was most likely "
                 "unplugged.",
                 "device already closed during write"},
        TextCase{"closedRead",
                 {BlockError::Closed{"read"}},
                 "The connection to the drive closed before Marlowick finished reading it \u2014 it was most likely "
                 "unplugged.",
                 "device already closed during read"},
        TextCase{"closedFlush",
                 {BlockError::Closed{"flush"}},
                 "The connection to the drive closed before Marlowick finished working with it \u2014 it was most "
                 "likely unplugged.",
                 "device already closed during flush"},
        TextCase{"readFailure",
                 {BlockError::DeviceFailure{"read", "lba 2048: errno 5 (Input/output error)"}},
                 "The drive reported an error while Marlowick was reading it. It may have been unplugged, or it may "
                 "be failing.",
                 "device failure during read: lba 2048: errno 5 (Input/output error)"},
        TextCase{"openFailure",
                 {BlockError::DeviceFailure{"open", "open /dev/sdb: errno 6 (No such device or address)"}},
                 "The drive reported an error while Marlowick was opening it. It may have been unplugged, or it may "
                 "be failing.",
                 "device failure during open: open /dev/sdb: errno 6 (No such device or address)"},
        // A drive another program holds is not a failing drive.
        TextCase{"openBusy",
                 {BlockError::DeviceFailure{"open", "open /dev/sdb: errno 16 (Device or resource busy)"}},
                 inUse,
                 "device failure during open: open /dev/sdb: errno 16 (Device or resource busy)"},
        TextCase{"busyByWording", {BlockError::DeviceFailure{"write", "Device or resource busy"}}, inUse,
                 "device failure during write: Device or resource busy"},
        TextCase{"readOnlyMedium",
                 {BlockError::DeviceFailure{"write", "lba 0: errno 30 (Read-only file system)"}},
                 writeProtected,
                 "device failure during write: lba 0: errno 30 (Read-only file system)"},
        TextCase{"readOnlyByWording", {BlockError::DeviceFailure{"open", "Read-only file system"}}, writeProtected,
                 "device failure during open: Read-only file system"},
        TextCase{"errno160IsNotBusy",
                 {BlockError::DeviceFailure{"read", "errno 160 (x)"}},
                 "The drive reported an error while Marlowick was reading it. It may have been unplugged, or it may "
                 "be failing.",
                 "device failure during read: errno 160 (x)"},
        TextCase{"writeFailure",
                 {BlockError::DeviceFailure{"write", "lba 0: errno 28 (No space left on device)"}},
                 "The drive reported an error while Marlowick was writing to it. It may have been unplugged, or it "
                 "may be failing.",
                 "device failure during write: lba 0: errno 28 (No space left on device)"},
        TextCase{"flushFailure",
                 {BlockError::DeviceFailure{"flush", "errno 5 (Input/output error)"}},
                 "The drive reported an error while Marlowick was working with it. It may have been unplugged, or it "
                 "may be failing.",
                 "device failure during flush: errno 5 (Input/output error)"},
        TextCase{"errno13", {BlockError::DeviceFailure{"read", "lba 0: errno 13 (Permission denied)"}}, permission,
                 "device failure during read: lba 0: errno 13 (Permission denied)"},
        TextCase{"errno1ByNumber", {BlockError::DeviceFailure{"flush", "errno 1 (x)"}}, permission,
                 "device failure during flush: errno 1 (x)"},
        TextCase{"notPermittedByWording", {BlockError::DeviceFailure{"open", "Operation not permitted"}}, permission,
                 "device failure during open: Operation not permitted"},
        TextCase{"errno10IsNoPermissionFailure",
                 {BlockError::DeviceFailure{"read", "errno 10 (No child processes)"}},
                 "The drive reported an error while Marlowick was reading it. It may have been unplugged, or it may "
                 "be failing.",
                 "device failure during read: errno 10 (No child processes)"},
        TextCase{"wordingIsCaseSensitive",
                 {BlockError::DeviceFailure{"read", "permission denied"}},
                 "The drive reported an error while Marlowick was reading it. It may have been unplugged, or it may "
                 "be failing.",
                 "device failure during read: permission denied"}),
    test::CaseName{});

}  // namespace
}  // namespace marlowick
