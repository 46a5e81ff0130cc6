#include "HelperWire/HelperResult.hpp"

#include <gtest/gtest.h>

#include "HelperWire/WireRoundTrip.hpp"

namespace marlowick {
namespace {

using Report = HelperDriveOperationReport;
using Kind = HelperDriveOperationReport::Kind;

VentoyInstallReport passedInstall(bool formatPerformed) {
    VentoyInstallReport report;
    report.formatPerformed = formatPerformed;
    report.mbrWriteOk = report.mbrVerifyOk = report.coreWriteOk = report.coreVerifyOk = true;
    if (formatPerformed) report.formatOk = true;
    report.ventoyDiskWriteOk = report.ventoyDiskVerifyOk = report.flushOk = true;
    report.notes = {"first", "second"};
    return report;
}

RawImageWriteReport rawWrite(bool verifyPerformed, std::optional<bool> verifyOk, std::optional<bool> honoured) {
    RawImageWriteReport report;
    report.verifyPerformed = verifyPerformed;
    report.writeOk = true;
    report.flushOk = true;
    report.verifyOk = verifyOk;
    report.flushHonoured = honoured;
    return report;
}

TEST(HelperDriveOperationReport, FlattensInstallResults) {
    const Report aborted(Kind::prepare, VentoyInstallResult{VentoyInstallResult::Aborted{"drive too small"}});
    test::expectWireRoundTrip(R"({"kind":"prepare","completed":false,"overallSuccess":false,"wasCancelled":false,)"
                              R"("notes":[],"abortedReason":"drive too small"})",
                              aborted);

    // An update formats nothing and can still pass.
    const Report update(Kind::update, VentoyInstallResult{VentoyInstallResult::Completed{passedInstall(false)}});
    test::expectWireRoundTrip(R"({"kind":"update","completed":true,"overallSuccess":true,"wasCancelled":false,)"
                              R"("notes":["first","second"]})",
                              update);

    VentoyInstallReport cancelled = passedInstall(true);
    cancelled.cancelledAtStage = InstallStage::writeVentoyDisk;
    const Report stopped(Kind::prepare, VentoyInstallResult{VentoyInstallResult::Completed{cancelled}});
    EXPECT_TRUE(stopped.completed);
    EXPECT_TRUE(stopped.wasCancelled);
    EXPECT_FALSE(stopped.overallSuccess);
    EXPECT_FALSE(stopped.rawWriteVerification.has_value());

    VentoyInstallReport unformatted = passedInstall(true);
    unformatted.formatOk = std::nullopt;
    EXPECT_FALSE(Report(Kind::prepare, VentoyInstallResult{VentoyInstallResult::Completed{unformatted}}).overallSuccess);
}

TEST(HelperDriveOperationReport, FormatReportsCarryNoVerification) {
    FormatReport format;
    format.mbrWriteOk = format.mbrVerifyOk = format.scrubOk = format.formatOk = format.formatVerifyOk = format.flushOk =
        true;
    const Report passed = Report::completedRun(Kind::removeVentoy, format);
    EXPECT_EQ(passed, Report(Kind::removeVentoy, true, true, false, {}, std::nullopt, std::nullopt));
    format.scrubOk = std::nullopt;
    EXPECT_FALSE(Report::completedRun(Kind::removeVentoy, format).overallSuccess);
}

TEST(HelperDriveOperationReport, RawWritesSayHowFarTheReadBackCanBeTrusted) {
    const struct {
        RawImageWriteReport report;
        bool success;
        std::string verification;
    } cases[] = {
        {rawWrite(false, std::nullopt, true), true, "none"},
        {rawWrite(true, true, false), true, "cacheUncertain"},
        {rawWrite(true, true, std::nullopt), true, "cacheUncertain"},
        {rawWrite(true, true, true), true, "medium"},
        {rawWrite(true, false, true), false, "none"},
        {rawWrite(true, std::nullopt, true), false, "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verification);
        const Report report(RawImageWriteResult{RawImageWriteResult::Completed{c.report}});
        test::expectWireRoundTrip(R"({"kind":"writeRawImage","completed":true,"overallSuccess":)" +
                                      std::string(c.success ? "true" : "false") +
                                      R"(,"wasCancelled":false,"notes":[],"rawWriteVerification":")" + c.verification +
                                      "\"}",
                                  report);
    }
    const Report aborted(RawImageWriteResult{RawImageWriteResult::Aborted{"image is empty (0 bytes)"}});
    EXPECT_EQ(aborted, Report::aborted(Kind::writeRawImage, "image is empty (0 bytes)"));
}

TEST(HelperDriveStatus, KeepsVersionAndUsageOnlyForVentoyDrives) {
    const VentoyLayout layout{62521344, 512, 2048, 62453760, 62455808, 65536, PartitionStyle::gpt, 34};
    const auto usage = HelperDriveUsage::from(ExfatFreeSpaceResult{ExfatFreeSpaceResult::Success{4096, 8192}});
    ASSERT_TRUE(usage.has_value());
    EXPECT_EQ(usage->dataFilesystem(), DriveFilesystem::exfat);
    EXPECT_FALSE(HelperDriveUsage::from(ExfatFreeSpaceResult{ExfatFreeSpaceResult::NotExfat{}}).has_value());
    EXPECT_FALSE((HelperDriveUsage{1, 2, "FAT32"}.dataFilesystem().has_value()));

    const HelperDriveStatus ventoy(VentoyDriveStatus{VentoyDriveStatus::Ventoy{layout}}, "1.1.17", usage);
    test::expectWireRoundTrip(
        R"({"detected":{"status":{"ventoy":{"layout":{"diskSectorCount":62521344,"sectorSize":512,)"
        R"("part1StartSector":2048,"part1SectorCount":62453760,"part2StartSector":62455808,"part2SectorCount":65536,)"
        R"("partitionStyle":"gpt","coreStartSector":34},"installedVersion":"1.1.17",)"
        R"("usage":{"freeBytes":4096,"totalBytes":8192,"filesystem":"exfat"}}}}})",
        HelperResult{HelperResult::Detected{ventoy}});

    const HelperDriveStatus plain(VentoyDriveStatus{VentoyDriveStatus::NotVentoy{"no partition table"}}, "1.1.17",
                                  usage);
    test::expectWireRoundTrip(R"({"notVentoy":{"reason":"no partition table"}})", plain);
    test::expectWireRoundTrip(R"({"incompatibleVentoy":{"reason":"odd"}})",
                              HelperDriveStatus(VentoyDriveStatus{VentoyDriveStatus::IncompatibleVentoy{"odd"}},
                                                std::nullopt, std::nullopt));
}

TEST(HelperResult, PayloadCasesCodeAsTheirObjects) {
    const HelperBlockError closed(BlockError::Closed{"read"});
    const ExfatListingResult listed{ExfatListingResult::Success{{{"iso/a.iso", "a.iso", 4096, false}}}};
    const struct {
        std::string text;
        HelperResult result;
    } cases[] = {
        {R"({"imageListing":{"_0":{"success":{"images":[{"path":"iso/a.iso","name":"a.iso","sizeBytes":4096,)"
         R"("isDirectory":false}]}}}})",
         {HelperResult::ImageListing{HelperImageListing(listed)}}},
        {R"({"imageListing":{"_0":{"success":{"images":[]}}}})",
         {HelperResult::ImageListing{HelperImageListing(ExfatListingResult{ExfatListingResult::Success{}})}}},
        {R"({"imageListing":{"_0":{"readFailed":{"error":{"closed":{"operation":"read"}}}}}})",
         {HelperResult::ImageListing{
             HelperImageListing(ExfatListingResult{ExfatListingResult::ReadFailed{BlockError{BlockError::Closed{"read"}}}})}}},
        {R"({"imageListing":{"_0":{"notExfat":{}}}})",
         {HelperResult::ImageListing{HelperImageListing(ExfatListingResult{ExfatListingResult::NotExfat{}})}}},
        {R"({"detectReadFailed":{"error":{"closed":{"operation":"read"}}}})", {HelperResult::DetectReadFailed{closed}}},
        {R"({"addImage":{"_0":{"cancelled":{}}}})", {HelperResult::AddImage{{HelperAddImageOutcome::Cancelled{}}}}},
        {R"({"addImage":{"_0":{"success":{"image":{"path":"a.iso","name":"a.iso","sizeBytes":1,"isDirectory":false},)"
         R"("freeBytesAfter":10,"totalBytes":20}}}})",
         {HelperResult::AddImage{{HelperAddImageOutcome::Success{{"a.iso", "a.iso", 1, false}, 10, 20}}}}},
        {R"({"addImage":{"_0":{"writeFailed":{"stage":"data","error":{"closed":{"operation":"read"}}}}}})",
         {HelperResult::AddImage{{HelperAddImageOutcome::WriteFailed{"data", closed}}}}},
        {R"({"failed":{"_0":{"sourceOnTarget":{}}}})", HelperResult::failed(HelperCommandError::SourceOnTarget{})},
        {R"({"failed":{"_0":{"targetVerificationFailed":{"_0":{"kind":"verified"}}}}})",
         HelperResult::failed(HelperCommandError::TargetVerificationFailed{{TargetVerification::Verdict::Verified{}}})},
        {R"({"failed":{"_0":{"targetVerificationFailed":{"_0":{"kind":"ineligibleTarget","bsdName":"sda",)"
         R"("reason":"systemDisk"}}}}})",
         HelperResult::failed(HelperCommandError::TargetVerificationFailed{{TargetVerification::Verdict::IneligibleTarget{
             "sda", TargetVerification::IneligibilityReason::systemDisk}}})},
    };
    for (const auto& c : cases) test::expectWireRoundTrip(c.text, c.result);
}

}  // namespace
}  // namespace marlowick
