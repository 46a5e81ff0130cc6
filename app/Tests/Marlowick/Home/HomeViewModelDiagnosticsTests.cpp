#include <gtest/gtest.h>

#include "Diagnostics/LogSinks.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;

HelperResult failedWrite() {
    return HelperResult{HelperResult::DriveOperation{HelperDriveOperationReport(
        HelperDriveOperationReport::Kind::writeRawImage, true, false, false, {"lba 8: errno 5 (Input/output error)"},
        std::nullopt, std::nullopt)}};
}

TEST(HomeViewModelDiagnostics, AReportNamesTheDriveTheOperationAndItsDetails) {
    HomeModelHarness harness;
    harness.disks = {usbStick("sdb")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();
    model->refreshDisks();
    harness.settle();

    model->recordDiagnostics(HomeOperationKind::writeRawImage, failedWrite());

    ASSERT_TRUE(model->lastDiagnostics().has_value());
    const DiagnosticReport& report = *model->lastDiagnostics();
    EXPECT_EQ(report.environment, HomeViewModel::diagnosticEnvironment());
    EXPECT_EQ(report.environment.appVersion, MARLOWICK_VERSION);
    EXPECT_FALSE(report.environment.osVersion.empty());
    EXPECT_EQ(report.operation, "Write a disk image");
    EXPECT_EQ(report.outcome, "failed");
    EXPECT_EQ(report.details, failedWrite().diagnosticDetails());
    const DiagnosticReport::DriveSummary expected("sdb", 16'000'000'000, 512, "USB", true,
                                                  DeviceFingerprint::Strength::unit);
    EXPECT_EQ(report.drive, expected);

    // The panel's text, with the real sentences.
    const std::string text = report.rendered("/home/someone");
    EXPECT_NE(text.find("operation: Write a disk image \u2014 failed"), std::string::npos) << text;
    EXPECT_NE(text.find("drive: sdb, 16000000000 bytes, 512B sectors, USB, removable, identity=unit"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("lba 8: errno 5 (Input/output error)"), std::string::npos) << text;
}

TEST(HomeViewModelDiagnostics, TheSummaryKnowsOnlyWhatTheSelectionCarries) {
    HomeModelHarness harness;
    EXPECT_FALSE(harness.make()->driveSummary().has_value());

    // Not a device path of the usual form, no fingerprint, not among the listed drives.
    const HelperDiskRef odd("/dev/disk/by-id/usb-stick", 4096, 1000, std::nullopt);
    const auto model = harness.make(odd);
    const auto summary = model->driveSummary();
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->bsdName, "/dev/disk/by-id/usb-stick");
    EXPECT_EQ(summary->capacityBytes, 4'096'000);
    EXPECT_EQ(summary->sectorSize, 4096);
    EXPECT_FALSE(summary->transport.has_value());
    EXPECT_FALSE(summary->isRemovable);
    EXPECT_FALSE(summary->identity.has_value());
}

TEST(HomeViewModelDiagnostics, TheLastOperationReplacesTheOneBeforeAndIsLogged) {
    const auto log = std::make_shared<MarlowickLog::MemorySink>();
    MarlowickLog::setSink(log);
    HomeModelHarness harness;
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")));
    model->recordDiagnostics(HomeOperationKind::writeRawImage, failedWrite());
    model->recordDiagnostics(HomeOperationKind::removeVentoy,
                             testing::operationSucceeded(HelperDriveOperationReport::Kind::removeVentoy));
    MarlowickLog::setSink(nullptr);

    ASSERT_TRUE(model->lastDiagnostics().has_value());
    EXPECT_EQ(model->lastDiagnostics()->operation, "Remove Ventoy");
    EXPECT_EQ(model->lastDiagnostics()->outcome, "succeeded");
    std::vector<std::string> messages;
    for (const MarlowickLog::Record& record : log->records()) messages.push_back(record.message);
    std::string failedDetails;
    for (const std::string& line : failedWrite().diagnosticDetails()) {
        failedDetails += (failedDetails.empty() ? "" : " | ") + line;
    }
    EXPECT_NE(failedDetails.find("lba 8: errno 5 (Input/output error)"), std::string::npos) << failedDetails;
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Write a disk image failed: " + failedDetails, "Remove Ventoy succeeded"}));
}

}  // namespace
}  // namespace marlowick
