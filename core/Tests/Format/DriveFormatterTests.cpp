// The drive formatter against scripted devices and a stand-in exFAT formatter: which
// steps ran, where a run stops, and the notes it leaves.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <tuple>

#include "Format/DriveFormatter.hpp"
#include "Format/FormatTestDevices.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Mbr/MbrBuilder.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::FakeExfatFormatter;
using test::ScriptedDevice;

constexpr std::int64_t n = 8192;
constexpr std::int32_t signature = -0x3501'4502;  // the top bit set: used by its 32-bit pattern
constexpr std::optional<bool> yes = true;
constexpr std::optional<bool> no = false;
constexpr std::optional<bool> none = std::nullopt;

struct FormatOutcome {
    DriveFormatResult result;
    std::vector<FormatStage> stages;
    int polls = 0;

    const FormatReport& report() const {
        const auto* completed = std::get_if<DriveFormatResult::Completed>(&result.value);
        if (completed == nullptr) throw std::logic_error("the format was aborted");
        return completed->report;
    }
};

struct Setup {
    PartitionStyle style = PartitionStyle::mbr;
    DriveFilesystem filesystem = DriveFilesystem::exfat;
    FakeExfatFormatter::Mode exfat = FakeExfatFormatter::Mode::bootSector;
    int cancelFromPoll = 0;  // 0: never cancelled
    std::optional<std::int64_t> dataClusterBytes;
};

FormatOutcome formatWith(BlockDevice& device, const Setup& setup, std::shared_ptr<FakeExfatFormatter> exfat = nullptr) {
    if (!exfat) exfat = std::make_shared<FakeExfatFormatter>(setup.exfat);
    FormatOutcome run;
    const DriveFormatter formatter(exfat, DriveFormatter::defaultWriteChunkSectors);
    run.result = formatter.format(
        device, setup.filesystem, setup.style, "MARLOWICK", setup.dataClusterBytes, signature,
        [&](FormatStage stage, std::optional<ByteProgress> progress) {
            EXPECT_FALSE(progress.has_value());
            run.stages.push_back(stage);
        },
        [&] { return ++run.polls >= setup.cancelFromPoll && setup.cancelFromPoll > 0; });
    return run;
}

std::string failedWrite(const char* what) { return std::string(what) + " write failed: " + render(test::writeRefused); }
std::string failedRead(const char* what) { return std::string(what) + " read-back failed: " + render(test::readRefused); }
const std::string flushFailed = "flush failed: " + render(test::flushRefused);
const std::string notHonoured = "flush not honoured — a read-back may be served from the drive's cache: no cache flush";

// One row of the outcome table: how the device or the collaborators misbehave, and the
// flags and notes the report must show.
struct OutcomeRow {
    const char* name;
    Setup setup;
    std::function<void(ScriptedDevice&)> script;
    std::optional<bool> mbrWriteOk, mbrVerifyOk, scrubOk, formatOk, formatVerifyOk, flushOk;
    std::optional<FormatStage> cancelledAtStage;
    std::vector<std::string> notes;
};

Setup styled(PartitionStyle style) {
    Setup setup;
    setup.style = style;
    return setup;
}
Setup withExfat(FakeExfatFormatter::Mode mode) {
    Setup setup;
    setup.exfat = mode;
    return setup;
}
Setup fat32() {
    Setup setup;
    setup.filesystem = DriveFilesystem::fat32;
    return setup;
}
Setup withClusterBytes(std::optional<std::int64_t> bytes) {
    Setup setup;
    setup.dataClusterBytes = bytes;
    return setup;
}
const Setup mbr = styled(PartitionStyle::mbr);
const Setup gpt = styled(PartitionStyle::gpt);
Setup cancelled(Setup setup, int fromPoll) {
    setup.cancelFromPoll = fromPoll;
    return setup;
}
const auto asIs = [](ScriptedDevice&) {};
const BlockFlushResult flushOk = BlockFlushSuccess{};
const BlockFlushResult flushFails = test::flushRefused;

// Cancellation polls: MBR before the table (1), before each gap piece (2, 3), before the
// backup-GPT piece (4) and before the format (5); GPT before each gap piece (1, 2), before
// the table (3) and before the format (4).
std::vector<OutcomeRow> outcomeRows() {
    return {
        {"mbrCancelledBeforeWriting", cancelled(mbr, 1), asIs, none, none, none, none, none, none,
         FormatStage::writeMbr, {}},
        {"mbrWriteFailed", mbr, [](ScriptedDevice& d) { d.failWriteAt = 0; }, no, none, none, none, none, none,
         std::nullopt, {failedWrite("MBR")}},
        {"mbrFlushFailed", mbr, [](ScriptedDevice& d) { d.flushScript = {flushFails}; }, yes, none, none, none, none, no,
         std::nullopt, {flushFailed}},
        {"mbrReadBackFailed", mbr, [](ScriptedDevice& d) { d.failReadAt = 0; }, yes, no, none, none, none, yes,
         std::nullopt, {failedRead("MBR")}},
        {"mbrReadBackDiffers", mbr, [](ScriptedDevice& d) { d.dropWriteAt = 0; }, yes, no, none, none, none, yes,
         std::nullopt, {"MBR read-back did not match the single-partition layout"}},
        {"mbrGapCancelled", cancelled(mbr, 3), asIs, yes, yes, none, none, none, yes, FormatStage::scrubReserved, {}},
        {"mbrGapFailed", mbr, [](ScriptedDevice& d) { d.failWriteAt = 1500; }, yes, yes, no, none, none, yes,
         std::nullopt, {"reserved-gap scrub failed at sector 1025: " + render(test::writeRefused)}},
        {"mbrBackupGptAreaCancelled", cancelled(mbr, 4), asIs, yes, yes, none, none, none, yes,
         FormatStage::scrubReserved, {}},
        {"mbrBackupGptAreaWriteFailed", mbr, [](ScriptedDevice& d) { d.failWriteAt = n - 1; }, yes, yes, no, none, none,
         yes, std::nullopt, {"backup GPT area scrub failed at sector 8159: " + render(test::writeRefused)}},
        {"mbrBackupGptAreaReadFailed", mbr, [](ScriptedDevice& d) { d.failReadAt = n - 20; }, yes, yes, no, none, none,
         yes, std::nullopt, {"backup GPT area read-back failed: " + render(test::readRefused)}},
        {"mbrBackupGptAreaNotCleared", mbr, [](ScriptedDevice& d) {
             d.medium.mutableBytes()[(n - 1) * 512] = 0x45;
             d.dropWriteAt = n - 1;
         },
         yes, yes, no, none, none, yes, std::nullopt, {"backup GPT area read-back was not all zeros"}},
        {"gptGapFailed", gpt, [](ScriptedDevice& d) { d.failWriteAt = 1; }, none, none, no, none, none, none,
         std::nullopt, {"reserved-gap scrub failed at sector 1: " + render(test::writeRefused)}},
        {"gptGapCancelled", cancelled(gpt, 2), asIs, none, none, none, none, none, none, FormatStage::scrubReserved, {}},
        {"gptCancelledBeforeWriting", cancelled(gpt, 3), asIs, none, none, yes, none, none, none, FormatStage::writeMbr,
         {}},
        {"gptProtectiveMbrWriteFailed", gpt, [](ScriptedDevice& d) { d.failWriteAt = 0; }, no, none, yes, none, none,
         none, std::nullopt, {failedWrite("protective MBR")}},
        // Write calls: the two gap pieces, then protective MBR, primary header, entry array.
        {"gptPrimaryHeaderWriteFailed", gpt, [](ScriptedDevice& d) { d.failWriteCall = 3; }, no, none, yes, none, none,
         none, std::nullopt, {failedWrite("primary GPT header")}},
        {"gptEntryArrayWriteFailed", gpt, [](ScriptedDevice& d) { d.failWriteCall = 4; }, no, none, yes, none, none,
         none, std::nullopt, {failedWrite("GPT entry array")}},
        {"gptBackupArrayWriteFailed", gpt, [](ScriptedDevice& d) { d.failWriteAt = n - 33; }, no, none, yes, none, none,
         none, std::nullopt, {failedWrite("backup GPT entry array")}},
        {"gptBackupHeaderWriteFailed", gpt, [](ScriptedDevice& d) { d.failWriteAt = n - 1; }, no, none, yes, none, none,
         none, std::nullopt, {failedWrite("backup GPT header")}},
        {"gptFlushFailed", gpt, [](ScriptedDevice& d) { d.flushScript = {flushFails}; }, yes, none, yes, none, none, no,
         std::nullopt, {flushFailed}},
        {"gptBackupHeaderReadFailed", gpt, [](ScriptedDevice& d) { d.failReadAt = n - 1; }, yes, no, yes, none, none,
         yes, std::nullopt, {failedRead("backup GPT header")}},
        {"gptEntryArrayDropped", gpt, [](ScriptedDevice& d) { d.dropWriteAt = 2; }, yes, no, yes, none, none, yes,
         std::nullopt, {"GPT entry-array read-back CRC32 did not match the header"}},
        {"mbrCancelledBeforeFormat", cancelled(mbr, 5), asIs, yes, yes, yes, none, none, yes, FormatStage::format, {}},
        {"gptCancelledBeforeFormat", cancelled(gpt, 4), asIs, yes, yes, yes, none, none, yes, FormatStage::format, {}},
        {"fat32Requested", fat32(), asIs, yes, yes, yes, no, none, yes, std::nullopt,
         {"FAT32 is offered for Ventoy drives only"}},
        {"exfatRejected", withExfat(FakeExfatFormatter::Mode::rejected), asIs, yes, yes, yes, no, none, yes,
         std::nullopt, {"exFAT format rejected: volumeTooSmall(volumeSectors: 1, minimum: 2)"}},
        {"exfatWriteFailed", withExfat(FakeExfatFormatter::Mode::writeFailed), asIs, yes, yes, yes, no, none, yes,
         std::nullopt, {"exFAT format write failed at FAT: " + render(test::writeRefused)}},
        {"exfatReadBackFailed", mbr, [](ScriptedDevice& d) { d.failReadAt = 2048; }, yes, yes, yes, yes, no, yes,
         std::nullopt, {failedRead("exFAT boot-sector")}},
        {"exfatSerialDiffers", withExfat(FakeExfatFormatter::Mode::wrongSerial), asIs, yes, yes, yes, yes, no, yes,
         std::nullopt, {"exFAT read-back did not match the fresh format (name='EXFAT   ', sig=true)"}},
        {"exfatBootSectorDropped", gpt, [](ScriptedDevice& d) { d.dropWriteAt = 2048; }, yes, yes, yes, yes, no, yes,
         std::nullopt, {"exFAT read-back did not match the fresh format (name='" + std::string(8, '\0') + "', sig=false)"}},
        // Flushes on MBR: after the table, between the backup-GPT area's zeros and their
        // read-back, and the final one.
        {"mbrBackupGptAreaFlushFailed", mbr, [](ScriptedDevice& d) { d.flushScript = {flushOk, flushFails}; }, yes,
         yes, no, none, none, no, std::nullopt, {flushFailed}},
        {"finalFlushFailed", mbr, [](ScriptedDevice& d) { d.flushScript = {flushOk, flushOk, flushFails}; }, yes, yes, yes, yes,
         yes, no, std::nullopt, {flushFailed}},
        {"flushNotHonoured", gpt,
         [](ScriptedDevice& d) {
             d.flushScript = {BlockFlushNotHonoured{"no cache flush"}, BlockFlushNotHonoured{"no cache flush"}};
         },
         yes, yes, yes, yes, yes, yes, std::nullopt, {notHonoured}},
        {"finalFlushNotHonoured", mbr,
         [](ScriptedDevice& d) { d.flushScript = {flushOk, flushOk, BlockFlushNotHonoured{"no cache flush"}}; }, yes,
         yes, yes,
         yes, yes, yes, std::nullopt, {notHonoured}},
        {"mbrSuccess", mbr, asIs, yes, yes, yes, yes, yes, yes, std::nullopt, {}},
        {"gptSuccess", gpt, asIs, yes, yes, yes, yes, yes, yes, std::nullopt, {}},
    };
}

class DriveFormatterOutcome : public ::testing::TestWithParam<OutcomeRow> {};

TEST_P(DriveFormatterOutcome, SetsTheFlagsAndNotes) {
    const OutcomeRow& row = GetParam();
    ScriptedDevice device(n, 512);
    row.script(device);
    const FormatOutcome run = formatWith(device, row.setup);
    const FormatReport& r = run.report();
    EXPECT_EQ(r.mbrWriteOk, row.mbrWriteOk);
    EXPECT_EQ(r.mbrVerifyOk, row.mbrVerifyOk);
    EXPECT_EQ(r.scrubOk, row.scrubOk);
    EXPECT_EQ(r.formatOk, row.formatOk);
    EXPECT_EQ(r.formatVerifyOk, row.formatVerifyOk);
    EXPECT_EQ(r.flushOk, row.flushOk);
    EXPECT_EQ(r.cancelledAtStage, row.cancelledAtStage);
    EXPECT_EQ(r.notes, row.notes);
    EXPECT_EQ(r.wasCancelled(), row.cancelledAtStage.has_value());
    const bool succeeded = row.formatVerifyOk == yes && row.flushOk == yes;
    EXPECT_EQ(r.overallSuccess(), succeeded);
    // The cluster geometry exists only once the exFAT formatter has succeeded.
    if (row.formatOk == yes) {
        EXPECT_EQ(r.clusterCount, FakeExfatFormatter::clusterCount);
        EXPECT_EQ(r.clusterSizeBytes, 512 * FakeExfatFormatter::sectorsPerCluster);
    } else {
        EXPECT_EQ(r.clusterCount, std::nullopt);
        EXPECT_EQ(r.clusterSizeBytes, std::nullopt);
    }
}

INSTANTIATE_TEST_SUITE_P(Format, DriveFormatterOutcome, ::testing::ValuesIn(outcomeRows()), test::CaseName{});

// A device that only answers its geometry: the refusals must come before any I/O.
class GeometryOnlyDevice final : public BlockDevice {
public:
    GeometryOnlyDevice(std::int64_t sectors, int size) : sectors(sectors), size(size) {}
    [[nodiscard]] int sectorSize() const override { return size; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectors; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t, std::int64_t) override { return touched("read"); }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t, const std::vector<std::uint8_t>&) override {
        return touched("write");
    }
    [[nodiscard]] BlockFlushResult flush() override { return touched("flush"); }
    void close() override {}

private:
    BlockError touched(const char* operation) {
        ADD_FAILURE() << operation << " on a refused layout";
        return BlockError{BlockError::Closed{operation}};
    }
    std::int64_t sectors;
    int size;
};

struct AbortRow {
    const char* name;
    std::int64_t sectors;
    int sectorSize;
    PartitionStyle style;
    const char* reason;
};

class DriveFormatterAbort : public ::testing::TestWithParam<AbortRow> {};

TEST_P(DriveFormatterAbort, RefusesBeforeAnyIo) {
    const AbortRow& row = GetParam();
    GeometryOnlyDevice device(row.sectors, row.sectorSize);
    const FormatOutcome run = formatWith(device, styled(row.style));
    const DriveFormatResult expected{DriveFormatResult::Aborted{row.reason}};
    EXPECT_EQ(run.result, expected);
    EXPECT_EQ(run.stages, std::vector<FormatStage>{FormatStage::layout});
    EXPECT_EQ(run.polls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Format, DriveFormatterAbort,
    ::testing::Values(
        AbortRow{"mbrTooSmall", 2048, 512, PartitionStyle::mbr, "disk too small: 2048 < 2049 sectors"},
        AbortRow{"gptTooSmallForMbrEither", 2048, 512, PartitionStyle::gpt, "disk too small: 2048 < 2049 sectors"},
        AbortRow{"gptTooSmall", 2081, 512, PartitionStyle::gpt, "disk too small for a GPT layout: 2081 sectors"},
        AbortRow{"mbrTooLarge", 4294967297, 512, PartitionStyle::mbr, "disk too large for 32-bit MBR: 4294967297 sectors"},
        AbortRow{"gptTooLarge", 4294967297, 512, PartitionStyle::gpt, "disk too large for 32-bit MBR: 4294967297 sectors"},
        AbortRow{"gptTooLargeBeats4Kn", 4294967297, 4096, PartitionStyle::gpt,
                 "disk too large for 32-bit MBR: 4294967297 sectors"},
        AbortRow{"gpt4Kn", 262144, 4096, PartitionStyle::gpt,
                 "GPT format currently supports 512-byte sectors only, device is 4096"},
        AbortRow{"gpt4KnTooSmall", 2081, 4096, PartitionStyle::gpt, "disk too small for a GPT layout: 2081 sectors"}),
    test::CaseName{});

// A volume the exFAT formatter would refuse is refused before the table is written: the
// drive keeps what it held instead of losing it to an "exFAT format rejected" note.
struct ExfatRefusalRow {
    const char* name;
    std::int64_t sectors;
    int sectorSize;
    PartitionStyle style;
    std::optional<std::int64_t> clusterBytes;
    const char* reason;
};

class DriveFormatterExfatRefusal : public ::testing::TestWithParam<ExfatRefusalRow> {};

TEST_P(DriveFormatterExfatRefusal, RefusesBeforeAnyIo) {
    const ExfatRefusalRow& row = GetParam();
    GeometryOnlyDevice device(row.sectors, row.sectorSize);
    auto setup = styled(row.style);
    setup.dataClusterBytes = row.clusterBytes;
    auto exfat = std::make_shared<FakeExfatFormatter>();
    const FormatOutcome run = formatWith(device, setup, exfat);
    const DriveFormatResult expected{DriveFormatResult::Aborted{row.reason}};
    EXPECT_EQ(run.result, expected);
    EXPECT_EQ(run.stages, std::vector<FormatStage>{FormatStage::layout});
    EXPECT_EQ(run.polls, 0);
    EXPECT_TRUE(exfat->calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Format, DriveFormatterExfatRefusal,
    ::testing::Values(
        ExfatRefusalRow{"smallestMbr", 2049, 512, PartitionStyle::mbr, std::nullopt,
                        "exFAT format rejected: volumeTooSmall(volumeSectors: 1, minimum: 40)"},
        ExfatRefusalRow{"largestTooSmallMbr", 2111, 512, PartitionStyle::mbr, std::nullopt,
                        "exFAT format rejected: volumeTooSmall(volumeSectors: 63, minimum: 64)"},
        ExfatRefusalRow{"smallestGpt", 2082, 512, PartitionStyle::gpt, std::nullopt,
                        "exFAT format rejected: volumeTooSmall(volumeSectors: 1, minimum: 40)"},
        ExfatRefusalRow{"clusterBelowTheSector", 262144, 4096, PartitionStyle::mbr, 2048,
                        "cluster size of 2048 bytes is smaller than the drive's 4096-byte sectors"},
        ExfatRefusalRow{"clusterTooLargeForTheVolume", 8192, 512, PartitionStyle::mbr, 1048576,
                        "exFAT format rejected: volumeTooSmall(volumeSectors: 6144, minimum: 8192)"}),
    test::CaseName{});

TEST(DriveFormatter, SmallestDisksGetTheirPartition) {
    for (const auto& [style, sectors, expected] : {std::tuple{PartitionStyle::mbr, std::int64_t{2112}, std::int64_t{64}},
                                                   std::tuple{PartitionStyle::gpt, std::int64_t{2145}, std::int64_t{64}}}) {
        SCOPED_TRACE(std::string(rawValue(style)) + " " + std::to_string(sectors));
        ScriptedDevice device(sectors, 512);
        const FormatOutcome run = formatWith(device, styled(style));
        EXPECT_EQ(run.report().partitionSectorCount, expected);
        EXPECT_TRUE(run.report().overallSuccess()) << ::testing::PrintToString(run.report());
    }
}

TEST(DriveFormatter, ReportsTheRequestAndTheGeometry) {
    ScriptedDevice device(n, 512);
    const FormatOutcome run = formatWith(device, gpt);
    const FormatReport& r = run.report();
    EXPECT_EQ(r.filesystem, DriveFilesystem::exfat);
    EXPECT_EQ(r.partitionStyle, PartitionStyle::gpt);
    EXPECT_EQ(r.sectorSize, 512);
    EXPECT_EQ(r.sectorCount, n);
    EXPECT_EQ(r.capacityBytes, n * 512);
    EXPECT_EQ(r.partitionStartSector, 2048);
    EXPECT_EQ(r.partitionSectorCount, n - 2081);
    EXPECT_EQ(r.diskSignature, std::int64_t{signature});  // sign-extended
    EXPECT_EQ(r.volumeLabel, "MARLOWICK");
}

TEST(DriveFormatter, ReportsEachStageAsItBegins) {
    const std::vector<FormatStage> mbrStages{FormatStage::layout,        FormatStage::writeMbr, FormatStage::verifyMbr,
                                             FormatStage::scrubReserved, FormatStage::format,   FormatStage::verifyFormat,
                                             FormatStage::flush};
    const std::vector<FormatStage> gptStages{FormatStage::layout,    FormatStage::scrubReserved, FormatStage::writeMbr,
                                             FormatStage::verifyMbr, FormatStage::format,        FormatStage::verifyFormat,
                                             FormatStage::flush};
    ScriptedDevice mbrDevice(n, 512);
    EXPECT_EQ(formatWith(mbrDevice, mbr).stages, mbrStages);
    ScriptedDevice gptDevice(n, 512);
    EXPECT_EQ(formatWith(gptDevice, gpt).stages, gptStages);
}

TEST(DriveFormatter, WritesTableGapAndBackupGptAreaInOrder) {
    ScriptedDevice device(n, 512);
    const FormatOutcome run = formatWith(device, mbr);
    ASSERT_TRUE(run.report().overallSuccess());
    const std::vector<ScriptedDevice::Write> expected{{0, 1}, {1, 1024}, {1025, 1023}, {n - 33, 33}, {2048, 1}};
    EXPECT_EQ(device.writes, expected);
    EXPECT_EQ(device.flushCalls, 3);
    // The zeroed tail is flushed before it is read back, or a buffered device answers the
    // read from its page cache.
    const std::vector<std::string> tail{"write " + std::to_string(n - 33) + "+33", "flush",
                                        "read " + std::to_string(n - 33) + "+33"};
    EXPECT_NE(std::search(device.events.begin(), device.events.end(), tail.begin(), tail.end()), device.events.end())
        << ::testing::PrintToString(device.events);
}

TEST(DriveFormatter, ClearsTheGapBeforeWritingTheGpt) {
    ScriptedDevice device(n, 512);
    const FormatOutcome run = formatWith(device, gpt);
    ASSERT_TRUE(run.report().overallSuccess());
    const std::vector<ScriptedDevice::Write> expected{{1, 1024}, {1025, 1023}, {0, 1},      {1, 1},
                                                      {2, 32},   {n - 33, 32}, {n - 1, 1}, {2048, 1}};
    EXPECT_EQ(device.writes, expected);
}

TEST(DriveFormatter, CancelledBeforeWritingTouchesNothing) {
    ScriptedDevice device(n, 512);
    const FormatOutcome run = formatWith(device, cancelled(mbr, 1));
    EXPECT_TRUE(run.report().wasCancelled());
    EXPECT_TRUE(run.report().notes.empty());
    EXPECT_TRUE(device.writes.empty());
    EXPECT_EQ(device.flushCalls, 0);
    EXPECT_EQ(run.stages, std::vector<FormatStage>{FormatStage::layout});
}

// A drive that held a GPT is wiped to MBR: no trace of either GPT header may be left, or
// partitioning tools rebuild the old table from the backup.
TEST(DriveFormatter, MbrLeavesNoGptBehind) {
    ScriptedDevice device(n, 512);
    const std::vector<std::uint8_t> guid16(16, 0x11);
    const GptBuilder::Partition part{std::vector<std::uint8_t>(GptBuilder::typeMsBasicData.begin(),
                                                               GptBuilder::typeMsBasicData.end()),
                                     guid16, 2048, n - 34, 0, "OLD"};
    const GptBuilder::Partition unused{std::vector<std::uint8_t>(16, 0), std::vector<std::uint8_t>(16, 0), 0, 0, 0, ""};
    const GptBuilder::Built old = GptBuilder::build(n, part, unused, guid16);
    auto& bytes = device.medium.mutableBytes();
    const auto place = [&](std::int64_t sector, const std::vector<std::uint8_t>& data) {
        std::copy(data.begin(), data.end(), bytes.begin() + sector * 512);
    };
    place(1, old.primaryHeader);
    place(2, old.entryArray);
    place(old.backupEntryArrayLba, old.entryArray);
    place(old.backupHeaderLba, old.backupHeader);

    const FormatOutcome run = formatWith(device, mbr);
    ASSERT_TRUE(run.report().overallSuccess()) << ::testing::PrintToString(run.report());
    const auto zero = [&](std::int64_t first, std::int64_t count) {
        return std::all_of(bytes.begin() + first * 512, bytes.begin() + (first + count) * 512,
                           [](std::uint8_t b) { return b == 0; });
    };
    EXPECT_TRUE(zero(1, 2047));
    EXPECT_TRUE(zero(n - 33, 33));
    const std::span<const std::uint8_t> medium(bytes);
    EXPECT_FALSE(GptBuilder::parseHeader(medium.subspan(512, 512)));
    EXPECT_FALSE(GptBuilder::parseHeader(medium.subspan((n - 1) * 512, 512)));
}

// On sectors larger than 512 bytes the record fills the start of sector 0 and the rest
// is cleared, so a 512-byte-sector GPT header at byte 512 goes too.
TEST(DriveFormatter, MbrOnLargeSectorsFillsSectorZero) {
    constexpr std::int64_t sectors = 4096;
    ScriptedDevice device(sectors, 4096);
    auto& bytes = device.medium.mutableBytes();
    const std::string efiPart = "EFI PART";
    std::copy(efiPart.begin(), efiPart.end(), bytes.begin() + 512);
    const FormatOutcome run = formatWith(device, mbr);
    ASSERT_TRUE(run.report().overallSuccess()) << ::testing::PrintToString(run.report());
    EXPECT_EQ(run.report().partitionSectorCount, sectors - 2048);
    EXPECT_TRUE(std::all_of(bytes.begin() + 512, bytes.begin() + 4096, [](std::uint8_t b) { return b == 0; }));
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(std::span(bytes).first(512));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->entries[0], (PartitionEntry{false, 0x07, 2048, sectors - 2048}));
}

struct ClusterRow {
    const char* name;
    int sectorSize;
    std::optional<std::int64_t> dataClusterBytes;
    std::optional<std::int64_t> sectorsPerCluster;
};

class DriveFormatterClusterSize : public ::testing::TestWithParam<ClusterRow> {};

TEST_P(DriveFormatterClusterSize, AsksTheExfatFormatter) {
    const ClusterRow& row = GetParam();
    ScriptedDevice device(row.sectorSize == 512 ? n : 4096, row.sectorSize);
    auto exfat = std::make_shared<FakeExfatFormatter>();
    const FormatOutcome run = formatWith(device, withClusterBytes(row.dataClusterBytes), exfat);
    ASSERT_EQ(exfat->calls.size(), 1u);
    const ExfatFormatParams& params = exfat->calls.front();
    EXPECT_EQ(params.sectorsPerCluster, row.sectorsPerCluster);
    EXPECT_EQ(params.volumeOffsetSectors, 2048);
    EXPECT_EQ(params.volumeLengthSectors, run.report().partitionSectorCount);
    EXPECT_EQ(params.volumeLabel, std::optional<std::string>("MARLOWICK"));
    EXPECT_EQ(params.volumeSerialNumber, static_cast<std::uint32_t>(signature));
}

INSTANTIATE_TEST_SUITE_P(Format, DriveFormatterClusterSize,
                         ::testing::Values(ClusterRow{"chosenByFormatter", 512, std::nullopt, std::nullopt},
                                           ClusterRow{"bytes65536", 512, 65536, 128},
                                           ClusterRow{"bytes4096On4Kn", 4096, 4096, 1},
                                           ClusterRow{"roundedDown", 512, 1000, 1}),
                         test::CaseName{});

TEST(DriveFormatter, NewDiskSignatureIsTheLowBitsOfTheMillisecondClock) {
    const auto millis = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t before = millis();
    const std::int32_t made = DriveFormatter::newDiskSignature();
    const std::int64_t after = millis();
    const auto low = static_cast<std::uint32_t>(made);
    // The clock may cross a 2^32 wrap between the readings: compare in 32-bit arithmetic.
    EXPECT_LE(low - static_cast<std::uint32_t>(before), static_cast<std::uint32_t>(after - before));
}

TEST(DriveFormatter, RefusesAMissingFormatterAndEmptyChunks) {
    EXPECT_THROW(DriveFormatter(nullptr), std::invalid_argument);
    EXPECT_THROW(DriveFormatter(std::make_shared<FakeExfatFormatter>(), 0), std::invalid_argument);
}

}  // namespace
}  // namespace marlowick
