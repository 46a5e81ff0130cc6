#include "Diagnostics/DiagnosticReport.hpp"

#include <gtest/gtest.h>

#include "HelperWire/HelperResult.hpp"

namespace marlowick {
namespace {

using Report = DiagnosticReport;
using Kind = HelperDriveOperationReport::Kind;

const Report::Environment environment{"1.2", "40", "Debian GNU/Linux 12 (bookworm)"};

TEST(DiagnosticReport, RendersARefusedWriteWithItsDrive) {
    const HelperResult refused = HelperResult::failed(HelperCommandError::TargetVerificationFailed{
        {TargetVerification::Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}});
    const Report report{environment, "Write a disk image", refused.diagnosticOutcome(),
                        Report::DriveSummary("sdb", 32010928128, 512, "USB", true, DeviceFingerprint::Strength::unit),
                        refused.diagnosticDetails()};
    EXPECT_EQ(report.rendered("/home/ann"),
              "Marlowick diagnostics\n"
              "app: 1.2 (40)  Linux: Debian GNU/Linux 12 (bookworm)\n"
              "operation: Write a disk image \xE2\x80\x94 refused\n"
              "drive: sdb, 32010928128 bytes, 512B sectors, USB, removable, identity=unit\n"
              "details:\n"
              "  - target refused: sdb is a different device: serialNumber changed");
}

TEST(DiagnosticReport, RendersWithoutDriveOrDetails) {
    const Report bare{environment, std::nullopt, "succeeded", std::nullopt, {}};
    EXPECT_EQ(bare.rendered(""),
              "Marlowick diagnostics\napp: 1.2 (40)  Linux: Debian GNU/Linux 12 (bookworm)\noutcome: succeeded\n"
              "details: none recorded");
    const Report fixed{environment, std::nullopt, "failed",
                       Report::DriveSummary("sdc", 8004304896, 512, std::nullopt, false, std::nullopt), {"x"}};
    EXPECT_NE(fixed.rendered("").find("\ndrive: sdc, 8004304896 bytes, 512B sectors, fixed\ndetails:\n  - x"),
              std::string::npos);
}

TEST(DiagnosticReport, HidesTheHomeDirectoryEverywhere) {
    const Report report{{"/home/ann", "1", "2"}, "Copy /home/ann/a.iso", "failed", std::nullopt,
                        {"could not open source: /home/ann/Downloads/b.iso", "/home/ann/home/ann"}};
    const std::string text = report.rendered("/home/ann");
    EXPECT_EQ(text.find("/home/ann"), std::string::npos) << text;
    EXPECT_NE(text.find("app: ~ (1)"), std::string::npos);
    EXPECT_NE(text.find("operation: Copy ~/a.iso"), std::string::npos);
    EXPECT_NE(text.find("  - could not open source: ~/Downloads/b.iso\n  - ~~"), std::string::npos);
    EXPECT_EQ(Report::redact("/a/b", "/"), "/a/b");
    EXPECT_EQ(Report::redact("/a/b", ""), "/a/b");
    EXPECT_EQ(Report::redact("/Home/ann/x", "/home/ann"), "/Home/ann/x");
}

// Only a whole path prefix is the home directory: a longer name beside it is another folder.
TEST(DiagnosticReport, HidesTheHomeDirectoryOnlyAsAWholePathPrefix) {
    const struct {
        const char* text;
        const char* redacted;
    } cases[] = {
        {"/home/alice/x", "/home/alice/x"},
        {"/home/al", "~"},
        {"/home/al/x and /home/alice/y", "~/x and /home/alice/y"},
        {"read /home/al.bak/x", "read /home/al.bak/x"},
        {"read /home/al-2/x", "read /home/al-2/x"},
        {"read /home/al\xC3\xA9/x", "read /home/al\xC3\xA9/x"},
        {"source: /home/al: errno 2", "source: ~: errno 2"},
        {"\"/home/al\" (/home/al)", "\"~\" (~)"},
        {"/home/al/home/al", "~~"},
        {"aaaa", "aaaa"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Report::redact(c.text, "/home/al"), c.redacted);
    }
    EXPECT_EQ(Report::redact("/home/al/a /home/al", "/home/al"), "~/a ~");
}

TEST(DiagnosticReport, SummarisesADiscoveredDisk) {
    DiscoveredDisk disk;
    disk.bsdName = "sdb";
    disk.geometry = {512, 62521344, 32010928128};
    disk.isRemovable = true;
    disk.deviceProtocol = "USB";
    disk.vendor = "  ";
    disk.model = " Stick ";
    EXPECT_EQ(Report::DriveSummary(disk),
              Report::DriveSummary("sdb", 32010928128, 512, "USB", true, DeviceFingerprint::Strength::model));
    disk.model = std::nullopt;
    EXPECT_EQ(Report::DriveSummary(disk).identity, DeviceFingerprint::Strength::capacityOnly);
}

TEST(HelperResultDiagnostics, OutcomesAndDetailLines) {
    const HelperBlockError closed(BlockError::Closed{"read"});
    const auto operation = [](HelperDriveOperationReport r) {
        return HelperResult{HelperResult::DriveOperation{std::move(r)}};
    };
    const struct {
        HelperResult result;
        std::string outcome;
        std::vector<std::string> details;
    } cases[] = {
        {HelperResult::failed(HelperCommandError::TargetVerificationFailed{{TargetVerification::Verdict::Verified{}}}),
         "refused",
         {"target refused: verified"}},
        {HelperResult::failed(HelperCommandError::SourceOnTarget{}), "refused",
         {"refused: the raw-write source lives on the target disk"}},
        {HelperResult::failed(HelperCommandError::InvalidOptions{"blankVolumeLabel"}), "failed",
         {"invalid options: blankVolumeLabel"}},
        {{HelperResult::Detected{HelperDriveStatus(HelperDriveStatus::Ventoy{{}, std::nullopt, std::nullopt})}},
         "detected",
         {"Ventoy drive, installed version unreadable"}},
        {{HelperResult::Detected{HelperDriveStatus(HelperDriveStatus::NotVentoy{"empty"})}},
         "detected",
         {"not a Ventoy drive: empty"}},
        {{HelperResult::DetectReadFailed{closed}}, "unreadable", {"detect read failed: device already closed during read"}},
        {operation(HelperDriveOperationReport::aborted(Kind::prepare, "too small")),
         "failed",
         {"refused before writing: too small"}},
        {operation({Kind::update, true, true, false, {}, std::nullopt, std::nullopt}), "succeeded", {}},
        {operation({Kind::prepare, true, false, true, {"n1", "n2"}, std::nullopt, std::nullopt}),
         "failed",
         {"cancelled mid-write", "a stage wrote but did not verify", "n1", "n2"}},
        {{HelperResult::AddImage{{HelperAddImageOutcome::Cancelled{}}}},
         "failed",
         {"cancelled \xE2\x80\x94 the partial copy was removed"}},
        {{HelperResult::AddImage{{HelperAddImageOutcome::NotEnoughSpace{10, 4}}}},
         "failed",
         {"not enough space: needs 10 bytes, 4 free"}},
        {{HelperResult::AddImage{{HelperAddImageOutcome::WriteFailed{"fat", closed}}}},
         "failed",
         {"write failed at fat: device already closed during read"}},
        {{HelperResult::AddImage{{HelperAddImageOutcome::Success{{"a", "a", 1, false}, 1, 2}}}}, "succeeded", {}},
        {{HelperResult::ImageListing{HelperImageListing(HelperImageListing::NotExfat{})}},
         "failed",
         {"the data partition is not a readable exFAT volume"}},
        {{HelperResult::ImageListing{HelperImageListing(HelperImageListing::ReadFailed{closed})}},
         "failed",
         {"listing read failed: device already closed during read"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        EXPECT_EQ(c.result.diagnosticOutcome(), c.outcome);
        EXPECT_EQ(c.result.diagnosticDetails(), c.details);
    }
}

}  // namespace
}  // namespace marlowick
