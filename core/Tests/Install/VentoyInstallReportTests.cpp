#include "Install/VentoyInstallReport.hpp"

#include <gtest/gtest.h>

#include "Install/VentoyInstallResult.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

// Every step done on a fresh install.
VentoyInstallReport completeInstall() {
    VentoyInstallReport report;
    report.version = "1.1.17";
    report.sectorSize = 512;
    report.sectorCount = 1000000;
    report.capacityBytes = 512000000;
    report.formatPerformed = true;
    report.mbrWriteOk = report.mbrVerifyOk = report.coreWriteOk = report.coreVerifyOk = true;
    report.formatOk = true;
    report.ventoyDiskWriteOk = report.ventoyDiskVerifyOk = report.flushOk = true;
    return report;
}

struct OutcomeCase {
    const char* name;
    void (*change)(VentoyInstallReport&);
    bool overallSuccess;
    bool wasCancelled;
};
void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

const OutcomeCase outcomeCases[] = {
    {"everyStepDone", [](VentoyInstallReport&) {}, true, false},
    {"updateWithoutFormat", [](VentoyInstallReport& r) { r.formatPerformed = false; r.formatOk.reset(); }, true, false},
    {"updateIgnoresAFormatFlag", [](VentoyInstallReport& r) { r.formatPerformed = false; r.formatOk = false; }, true,
     false},
    {"installWithoutFormat", [](VentoyInstallReport& r) { r.formatOk.reset(); }, false, false},
    {"formatFailed", [](VentoyInstallReport& r) { r.formatOk = false; }, false, false},
    {"mbrWriteNeverRan", [](VentoyInstallReport& r) { r.mbrWriteOk.reset(); }, false, false},
    {"mbrVerifyFailed", [](VentoyInstallReport& r) { r.mbrVerifyOk = false; }, false, false},
    {"coreWriteFailed", [](VentoyInstallReport& r) { r.coreWriteOk = false; }, false, false},
    {"coreVerifyNeverRan", [](VentoyInstallReport& r) { r.coreVerifyOk.reset(); }, false, false},
    {"ventoyDiskWriteFailed", [](VentoyInstallReport& r) { r.ventoyDiskWriteOk = false; }, false, false},
    {"ventoyDiskVerifyFailed", [](VentoyInstallReport& r) { r.ventoyDiskVerifyOk = false; }, false, false},
    {"flushNeverRan", [](VentoyInstallReport& r) { r.flushOk.reset(); }, false, false},
    {"cancelledAfterEveryStep", [](VentoyInstallReport& r) { r.cancelledAtStage = InstallStage::flush; }, false, true},
    {"updateCancelled",
     [](VentoyInstallReport& r) {
         r.formatPerformed = false;
         r.formatOk.reset();
         r.cancelledAtStage = InstallStage::layout;
     },
     false, true},
    {"cancelledAtWrite",
     [](VentoyInstallReport& r) {
         r.ventoyDiskWriteOk.reset();
         r.ventoyDiskVerifyOk.reset();
         r.cancelledAtStage = InstallStage::writeVentoyDisk;
     },
     false, true},
    {"nothingRan", [](VentoyInstallReport& r) { r = VentoyInstallReport{}; }, false, false},
};

class VentoyInstallReportOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(VentoyInstallReportOutcome, SuccessNeedsEveryStepAndNoCancellation) {
    const OutcomeCase& c = GetParam();
    VentoyInstallReport report = completeInstall();
    c.change(report);
    EXPECT_EQ(report.overallSuccess(), c.overallSuccess);
    EXPECT_EQ(report.wasCancelled(), c.wasCancelled);
}

INSTANTIATE_TEST_SUITE_P(Report, VentoyInstallReportOutcome, ::testing::ValuesIn(outcomeCases), test::CaseName{});

TEST(VentoyInstallReport, RendersEveryFieldWithAbsentStepsAsNone) {
    VentoyInstallReport report = completeInstall();
    report.diskSignature = -1;
    report.volumeLabel = "(unchanged)";
    report.formatPerformed = false;
    report.formatOk.reset();
    report.flushOk = false;
    report.cancelledAtStage = InstallStage::verifyVentoyDisk;
    report.notes = {"flush not honoured: \"busy\"", "second"};
    EXPECT_EQ(render(report),
              "VentoyInstallReport(version: \"1.1.17\", sectorSize: 512, sectorCount: 1000000, "
              "capacityBytes: 512000000, part1StartSector: 0, part1SectorCount: 0, part2StartSector: 0, "
              "part2SectorCount: 0, diskSignature: -1, volumeLabel: \"(unchanged)\", formatPerformed: false, "
              "mbrWriteOk: true, mbrVerifyOk: true, coreWriteOk: true, coreVerifyOk: true, formatOk: none, "
              "clusterCount: none, clusterSizeBytes: none, ventoyDiskWriteOk: true, ventoyDiskVerifyOk: true, "
              "flushOk: false, cancelledAtStage: verifyVentoyDisk, "
              "notes: [\"flush not honoured: \\\"busy\\\"\", \"second\"])");
}

TEST(VentoyInstallResult, ComparesCaseAndPayload) {
    const VentoyInstallResult aborted{VentoyInstallResult::Aborted{"boot.img is 0 bytes, expected 512"}};
    const VentoyInstallResult sameReason{VentoyInstallResult::Aborted{"boot.img is 0 bytes, expected 512"}};
    const VentoyInstallResult completed{VentoyInstallResult::Completed{completeInstall()}};
    VentoyInstallReport oneNoteMore = completeInstall();
    oneNoteMore.notes.push_back("note");
    const VentoyInstallResult completedWithNote{VentoyInstallResult::Completed{oneNoteMore}};
    EXPECT_EQ(aborted, sameReason);
    EXPECT_NE(aborted, completed);
    EXPECT_NE(completed, completedWithNote);
    EXPECT_EQ(render(aborted), "aborted(reason: \"boot.img is 0 bytes, expected 512\")");
    EXPECT_EQ(render(completed).rfind("completed(report: VentoyInstallReport(version: \"1.1.17\", ", 0), 0U);
}

}  // namespace
}  // namespace marlowick
