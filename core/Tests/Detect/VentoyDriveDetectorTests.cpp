#include "Detect/VentoyDriveDetector.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "Block/MemoryBlockDevice.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Install/VentoyPartitionTable.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"
#include "Support/SparseBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::SparseBlockDevice;

constexpr std::int32_t signature = 0x2468'ACE0;
constexpr std::int64_t twoTo32 = 4294967296;

VentoyDriveStatus notVentoy(const char* reason) { return {VentoyDriveStatus::NotVentoy{reason}}; }
VentoyDriveStatus incompatible(const char* reason) { return {VentoyDriveStatus::IncompatibleVentoy{reason}}; }
VentoyDriveStatus ventoy(const VentoyLayout& layout) { return {VentoyDriveStatus::Ventoy{layout}}; }
VentoyDetectionResult detected(VentoyDriveStatus status) {
    return {VentoyDetectionResult::Detected{std::move(status)}};
}

constexpr const char* mbrOtherLayout =
    "Ventoy EFI partition present but the layout differs from the one Marlowick writes "
    "(prepared by another tool/version); in-place update is unsafe";
constexpr const char* gptOtherLayout =
    "Ventoy GPT EFI partition present but the layout differs from the one Marlowick writes "
    "(prepared by another tool/version); in-place update is unsafe";

VentoyLayout calculated(std::int64_t sectors, int sectorSize, PartitionStyle style, std::int64_t reserve, bool align) {
    const auto result = VentoyLayoutCalculator::calculate(sectors, sectorSize, style, reserve, align);
    return std::get<VentoyLayoutCalculator::Success>(result).layout;
}

void writeTable(BlockDevice& device, const VentoyLayout& layout, std::uint8_t part1Type) {
    std::vector<std::string> notes;
    const std::vector<std::uint8_t> bootCode(440, 0x90);
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "Ventoy", bootCode, part1Type,
                                                          notes))
        << ::testing::PrintToString(notes);
}

struct RoundTripCase {
    const char* name;
    PartitionStyle style;
    DriveFilesystem filesystem;
    std::int64_t sectors;
    int sectorSize;
    std::int64_t reserveSectors;
    bool alignTo4K;
    bool sparse;  // a SparseBlockDevice for geometries too large for memory
};
void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

// 70001 and 70035 leave partition 2 on an odd sector when alignment is off.
const RoundTripCase roundTrips[] = {
    {"mbrExfatAligned", PartitionStyle::mbr, DriveFilesystem::exfat, 70001, 512, 0, true, false},
    {"mbrFat32Aligned", PartitionStyle::mbr, DriveFilesystem::fat32, 70001, 512, 0, true, false},
    {"mbrExfatUnaligned", PartitionStyle::mbr, DriveFilesystem::exfat, 70001, 512, 0, false, false},
    {"mbrFat32UnalignedWithReserve", PartitionStyle::mbr, DriveFilesystem::fat32, 80001, 512, 2047, false, false},
    {"mbrExfatAlignedWithReserve", PartitionStyle::mbr, DriveFilesystem::exfat, 80001, 512, 4096, true, false},
    {"mbrSmallestDisk", PartitionStyle::mbr, DriveFilesystem::exfat, 67593, 512, 0, false, false},
    {"mbr4KSectors", PartitionStyle::mbr, DriveFilesystem::exfat, 1000003, 4096, 0, true, true},
    {"mbrExactly2To32Sectors", PartitionStyle::mbr, DriveFilesystem::exfat, twoTo32, 512, 0, true, true},
    {"gptExfatAligned", PartitionStyle::gpt, DriveFilesystem::exfat, 70035, 512, 0, true, false},
    {"gptFat32Unaligned", PartitionStyle::gpt, DriveFilesystem::fat32, 70035, 512, 0, false, false},
    {"gptExfatUnalignedWithReserve", PartitionStyle::gpt, DriveFilesystem::exfat, 80001, 512, 1001, false, false},
    {"gptFat32AlignedWithReserve", PartitionStyle::gpt, DriveFilesystem::fat32, 80001, 512, 3000, true, false},
    {"gpt32GB", PartitionStyle::gpt, DriveFilesystem::exfat, 62521344, 512, 0, true, true},
    {"gptBeyondMbrLimit", PartitionStyle::gpt, DriveFilesystem::exfat, 3 * twoTo32, 512, 12345, false, true},
};

class VentoyDriveDetectorRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(VentoyDriveDetectorRoundTrip, FindsTheLayoutThatWasWritten) {
    const RoundTripCase& c = GetParam();
    const VentoyLayout layout = calculated(c.sectors, c.sectorSize, c.style, c.reserveSectors, c.alignTo4K);
    if (!c.alignTo4K) {
        ASSERT_NE(layout.part2StartSector % 8, 0) << "pick a size that leaves partition 2 unaligned";
    }
    std::unique_ptr<BlockDevice> device;
    if (c.sparse) {
        device = std::make_unique<SparseBlockDevice>(c.sectors, c.sectorSize);
    } else {
        device = std::make_unique<MemoryBlockDevice>(c.sectors, c.sectorSize);
    }
    writeTable(*device, layout, VentoyLayoutCalculator::part1Type(c.filesystem));

    EXPECT_EQ(VentoyDriveDetector::detect(*device), detected(ventoy(layout)));
    // The reserve is implied by where partition 2 ends.
    const std::int64_t tail = c.style == PartitionStyle::gpt ? 33 : 0;
    const std::int64_t impliedReserve = c.sectors - tail - layout.part2StartSector - 65536;
    EXPECT_GE(impliedReserve, c.reserveSectors);
    EXPECT_LT(impliedReserve, c.reserveSectors + 8);
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyDriveDetectorRoundTrip, ::testing::ValuesIn(roundTrips), test::CaseName{});

// Every layout the calculator gives is detected as that layout, the smallest disks
// included: a partition 1 of one to seven sectors that alignment would have taken away.
TEST(VentoyDriveDetector, DetectsEveryLayoutTheCalculatorGives) {
    std::vector<std::int64_t> sizes;
    for (std::int64_t sectors = 67580; sectors <= 67680; ++sectors) sizes.push_back(sectors);
    for (const std::int64_t sectors : {70001, 70035, 1000003, 62521344}) sizes.push_back(sectors);
    int detectedLayouts = 0;
    for (const PartitionStyle style : {PartitionStyle::mbr, PartitionStyle::gpt}) {
        for (const bool align : {false, true}) {
            for (const std::int64_t reserve : {0, 3, 100}) {
                for (const std::int64_t sectors : sizes) {
                    const auto result = VentoyLayoutCalculator::calculate(sectors, 512, style, reserve, align);
                    const auto* success = std::get_if<VentoyLayoutCalculator::Success>(&result);
                    if (success == nullptr) continue;
                    SCOPED_TRACE(render(success->layout) + " reserve " + std::to_string(reserve));
                    SparseBlockDevice device(sectors, 512);
                    writeTable(device, success->layout, VentoyLayoutCalculator::part1TypeData);
                    EXPECT_EQ(VentoyDriveDetector::detect(device), detected(ventoy(success->layout)));
                    ++detectedLayouts;
                }
            }
        }
    }
    EXPECT_GT(detectedLayouts, 0);
}

TEST(VentoyDriveDetector, OnlyReads) {
    MemoryBlockDevice device(70035, 512);
    writeTable(device, calculated(70035, 512, PartitionStyle::gpt, 0, true), 0x07);
    const std::vector<std::uint8_t> before = device.bytes();
    (void)VentoyDriveDetector::detect(device);
    EXPECT_EQ(device.bytes(), before);
    EXPECT_EQ(device.flushCount(), 0);
    EXPECT_FALSE(device.isClosed());
}

// Sector 0 with the given slots, the rest empty.
std::vector<std::uint8_t> mbrWith(std::vector<PartitionEntry> slots) { return MbrBuilder::build(slots, 0x1234); }

const std::int64_t disk = 100000;
const std::int64_t alignedPart2 = (disk - 65536) / 8 * 8;  // 34464
const PartitionEntry exfatPart1{true, 0x07, 2048, alignedPart2 - 2048};
const PartitionEntry efiPart2{false, 0xEF, alignedPart2, 65536};

VentoyLayout mbrLayout(std::int64_t sectors, std::int64_t part2Start, int sectorSize = 512) {
    return VentoyLayout{sectors, sectorSize, 2048, part2Start - 2048, part2Start, 65536, PartitionStyle::mbr, 1};
}

struct MbrCase {
    const char* name;
    std::vector<std::uint8_t> sector;
    std::int64_t sectors;
    VentoyDriveStatus status;
};
void PrintTo(const MbrCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::uint8_t> withoutSignature(std::vector<std::uint8_t> sector) {
    sector[511] = 0x55;
    return sector;
}

const MbrCase mbrCases[] = {
    {"blankDrive", std::vector<std::uint8_t>(512), disk,
     notVentoy("no 0x55AA MBR boot signature (blank or non-MBR drive)")},
    {"ventoyTableWithoutSignature", withoutSignature(mbrWith({exfatPart1, efiPart2})), disk,
     notVentoy("no 0x55AA MBR boot signature (blank or non-MBR drive)")},
    {"shortSector", std::vector<std::uint8_t>(511, 0x55), disk, notVentoy("MBR sector shorter than 512 bytes")},
    {"emptyTable", mbrWith({}), disk, notVentoy("partition table is not a Ventoy layout")},
    {"exfatVentoy", mbrWith({exfatPart1, efiPart2}), disk, ventoy(mbrLayout(disk, alignedPart2))},
    {"fat32Ventoy", mbrWith({{true, 0x0C, 2048, alignedPart2 - 2048}, efiPart2}), disk,
     ventoy(mbrLayout(disk, alignedPart2))},
    {"bootFlagsNotCompared", mbrWith({{false, 0x07, 2048, alignedPart2 - 2048}, {true, 0xEF, alignedPart2, 65536}}),
     disk, ventoy(mbrLayout(disk, alignedPart2))},
    {"oddPart2Start", mbrWith({{true, 0x07, 2048, 34463 - 2048}, {false, 0xEF, 34463, 65536}}), 99999,
     ventoy(mbrLayout(99999, 34463))},
    {"linuxPart1", mbrWith({{true, 0x83, 2048, alignedPart2 - 2048}, efiPart2}), disk, incompatible(mbrOtherLayout)},
    {"part1StartsElsewhere", mbrWith({{true, 0x07, 63, alignedPart2 - 63}, efiPart2}), disk,
     incompatible(mbrOtherLayout)},
    {"gapBeforePart2", mbrWith({{true, 0x07, 2048, alignedPart2 - 2056}, efiPart2}), disk,
     incompatible(mbrOtherLayout)},
    {"part2PastTheEnd", mbrWith({{true, 0x07, 2048, 40000 - 2048}, {false, 0xEF, 40000, 65536}}), disk,
     incompatible(mbrOtherLayout)},
    {"part2OneSectorShort", mbrWith({exfatPart1, {false, 0xEF, alignedPart2, 65535}}), disk,
     notVentoy("partition table is not a Ventoy layout")},
    {"part2NotEfi", mbrWith({exfatPart1, {false, 0x0B, alignedPart2, 65536}}), disk,
     notVentoy("partition table is not a Ventoy layout")},
    {"exactly2To32Sectors",
     mbrWith({{true, 0x07, 2048, twoTo32 - 65536 - 2048}, {false, 0xEF, twoTo32 - 65536, 65536}}), twoTo32,
     ventoy(mbrLayout(twoTo32, twoTo32 - 65536))},
    {"past2To32WithFingerprint", mbrWith({exfatPart1, efiPart2}), twoTo32 + 1,
     incompatible("disk too large for a 32-bit MBR Ventoy layout")},
    {"past2To32Plain", mbrWith({{true, 0x07, 2048, 4096}}), twoTo32 + 1,
     notVentoy("disk too large for MBR and no Ventoy fingerprint")},
    {"tooSmallWithFingerprint", mbrWith({exfatPart1, efiPart2}), 67000,
     incompatible("disk too small to host a Marlowick Ventoy layout")},
    {"tooSmallPlain", mbrWith({exfatPart1}), 67000,
     notVentoy("disk too small for a Ventoy layout and no Ventoy fingerprint")},
    // Partition 2 starting at 2048 leaves partition 1 no sector.
    {"part2AtPart1Start", mbrWith({PartitionEntry{}, {false, 0xEF, 2048, 65536}}), disk,
     incompatible("disk too small to host a Marlowick Ventoy layout")},
    {"oneSectorDisk", mbrWith({}), 1, notVentoy("disk too small for a Ventoy layout and no Ventoy fingerprint")},
};

class VentoyDriveDetectorMbr : public ::testing::TestWithParam<MbrCase> {};

TEST_P(VentoyDriveDetectorMbr, Classifies) {
    const MbrCase& c = GetParam();
    EXPECT_EQ(VentoyDriveDetector::classify(c.sector, c.sectors, 512), c.status);
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyDriveDetectorMbr, ::testing::ValuesIn(mbrCases), test::CaseName{});

TEST(VentoyDriveDetector, ProtectiveMbrOn4KSectorsIsReadAsMbr) {
    SparseBlockDevice device(1000000, 4096);
    std::vector<std::uint8_t> sector0 = GptBuilder::buildProtectiveMbr(1000000);
    sector0.resize(4096);
    ASSERT_TRUE(VentoyDriveDetector::isGptProtectiveMbr(sector0));
    device.sector(0) = sector0;
    EXPECT_EQ(VentoyDriveDetector::detect(device), detected(notVentoy("partition table is not a Ventoy layout")));
}

// A 512-byte-sector drive with a Ventoy GPT, for editing its entries.
struct GptDrive {
    static constexpr std::int64_t sectors = 70035;
    MemoryBlockDevice device{sectors, 512};
    VentoyLayout layout = calculated(sectors, 512, PartitionStyle::gpt, 0, true);
    GptDrive() { writeTable(device, layout, 0x07); }
    std::uint8_t* bytesAt(std::int64_t offset) { return device.mutableBytes().data() + offset; }
    std::uint8_t* entry(int index) { return bytesAt(2 * 512 + index * 128); }
    void setLba(int index, std::size_t offset, std::int64_t value) {
        const auto bits = static_cast<std::uint64_t>(value);
        for (int i = 0; i < 8; ++i) entry(index)[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
};

TEST(VentoyDriveDetector, GptClassifiedFromEntriesEvenWithABadHeaderCrc) {
    GptDrive drive;
    *drive.bytesAt(512 + 16) ^= 0xFF;  // the header CRC
    EXPECT_EQ(VentoyDriveDetector::detect(drive.device), detected(ventoy(drive.layout)));
}

struct GptEdit {
    const char* name;
    void (*edit)(GptDrive&);
    VentoyDriveStatus status;
};
void PrintTo(const GptEdit& c, std::ostream* os) { *os << c.name; }

const GptEdit gptEdits[] = {
    {"noHeaderSignature", [](GptDrive& d) { *d.bytesAt(512) = 'X'; },
     notVentoy("GPT protective MBR present but no valid primary GPT header")},
    {"part1NotBasicData", [](GptDrive& d) { d.entry(0)[0] ^= 1; }, incompatible(gptOtherLayout)},
    {"part1EndsEarly", [](GptDrive& d) { d.setLba(0, 40, d.layout.part2StartSector - 2); },
     incompatible(gptOtherLayout)},
    {"part2NotEfi", [](GptDrive& d) { d.entry(1)[15] ^= 1; }, notVentoy("GPT partition table is not a Ventoy layout")},
    {"part2OneSectorLonger", [](GptDrive& d) { d.setLba(1, 40, d.layout.part2StartSector + 65536); },
     notVentoy("GPT partition table is not a Ventoy layout")},
    {"entriesErased", [](GptDrive& d) { std::fill(d.entry(0), d.entry(2), 0); },
     notVentoy("GPT partition table is not a Ventoy layout")},
    {"part2PastTheEnd",
     [](GptDrive& d) {
         d.setLba(1, 32, d.layout.part2StartSector + 8);
         d.setLba(1, 40, d.layout.part2StartSector + 8 + 65535);
         d.setLba(0, 40, d.layout.part2StartSector + 7);
     },
     incompatible(gptOtherLayout)},
    {"part2AtNegativeLba",
     [](GptDrive& d) {
         d.setLba(1, 32, INT64_MIN);
         d.setLba(1, 40, INT64_MIN + 65535);
     },
     incompatible("disk cannot host a Marlowick GPT Ventoy layout")},
    {"hugeRangeDoesNotWrap",
     [](GptDrive& d) {
         d.setLba(1, 32, INT64_MIN);
         d.setLba(1, 40, INT64_MAX);
     },
     notVentoy("GPT partition table is not a Ventoy layout")},
};

class VentoyDriveDetectorGpt : public ::testing::TestWithParam<GptEdit> {};

TEST_P(VentoyDriveDetectorGpt, ClassifiesTheEditedTable) {
    const GptEdit& c = GetParam();
    GptDrive drive;
    c.edit(drive);
    EXPECT_EQ(VentoyDriveDetector::detect(drive.device), detected(c.status));
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyDriveDetectorGpt, ::testing::ValuesIn(gptEdits), test::CaseName{});

TEST(VentoyDriveDetector, GptTooSmallWithAndWithoutFingerprint) {
    GptDrive drive;
    const std::vector<std::uint8_t>& bytes = drive.device.bytes();
    const std::span<const std::uint8_t> header(bytes.data() + 512, 512);
    const std::span<const std::uint8_t> entries(bytes.data() + 1024, 16384);
    EXPECT_EQ(VentoyDriveDetector::classifyGpt(header, entries, 67616, 512),
              incompatible("disk cannot host a Marlowick GPT Ventoy layout"));
    EXPECT_EQ(VentoyDriveDetector::classifyGpt(header, entries.first(128), 67616, 512),
              notVentoy("disk cannot host a Ventoy GPT layout and no Ventoy fingerprint"));
    // One entry only: entry 2 is absent and nothing matches.
    EXPECT_EQ(VentoyDriveDetector::classifyGpt(header, entries.first(128), GptDrive::sectors, 512),
              notVentoy("GPT partition table is not a Ventoy layout"));
    EXPECT_EQ(VentoyDriveDetector::classifyGpt(header.first(91), entries, GptDrive::sectors, 512),
              notVentoy("GPT protective MBR present but no valid primary GPT header"));
}

struct ReadFailureCase {
    const char* name;
    std::int64_t failingSector;
};
void PrintTo(const ReadFailureCase& c, std::ostream* os) { *os << c.name; }

const ReadFailureCase readFailures[] = {{"sector0", 0}, {"primaryHeader", 1}, {"firstEntrySector", 2},
                                        {"lastEntrySector", 33}};

class VentoyDriveDetectorReadFailure : public ::testing::TestWithParam<ReadFailureCase> {};

TEST_P(VentoyDriveDetectorReadFailure, PassesTheBlockErrorOn) {
    const ReadFailureCase& c = GetParam();
    SparseBlockDevice device(62521344, 512);
    writeTable(device, calculated(62521344, 512, PartitionStyle::gpt, 0, true), 0x07);
    const BlockError error{BlockError::DeviceFailure{"read", "errno 5 (Input/output error)"}};
    device.failReadsOf(c.failingSector, error);
    EXPECT_EQ(VentoyDriveDetector::detect(device), VentoyDetectionResult{VentoyDetectionResult::ReadFailed{error}});
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyDriveDetectorReadFailure, ::testing::ValuesIn(readFailures), test::CaseName{});

TEST(VentoyDriveDetector, ClosedDeviceIsAReadFailure) {
    MemoryBlockDevice device(100, 512);
    device.close();
    const VentoyDetectionResult expected{VentoyDetectionResult::ReadFailed{BlockError{BlockError::Closed{"read"}}}};
    EXPECT_EQ(VentoyDriveDetector::detect(device), expected);
    EXPECT_EQ(render(expected), "readFailed(error: closed(operation: \"read\"))");
}

// What is wrong with a status classified from any bytes for a drive of `sectors`; empty
// when nothing is. A layout lies inside the drive, one sector of partition 1 at least
// and partition 2 whole before the GPT's backup area, and is exactly the layout the
// calculator gives for that drive with the reserve partition 2's position implies. Any
// other status gives a reason.
std::string faultOf(const VentoyDriveStatus& status, std::int64_t sectors, int sectorSize) {
    const auto* found = std::get_if<VentoyDriveStatus::Ventoy>(&status.value);
    if (found == nullptr) {
        const bool hasReason = std::visit(
            [](const auto& other) {
                if constexpr (requires { other.reason; }) return !other.reason.empty();
                return false;
            },
            status.value);
        return hasReason ? "" : "no reason given: " + render(status);
    }
    const VentoyLayout& layout = found->layout;
    const std::int64_t tail = layout.partitionStyle == PartitionStyle::gpt ? 33 : 0;
    if (layout.diskSectorCount != sectors || layout.sectorSize != sectorSize) return "another drive: " + render(layout);
    if (layout.part1StartSector != 2048 || layout.part1SectorCount < 1 ||
        layout.part2StartSector != layout.part1EndSector() + 1 || layout.part2SectorCount != 65536 ||
        layout.part2EndSector() > sectors - 1 - tail) {
        return "not inside the drive: " + render(layout);
    }
    if (layout.partitionStyle == PartitionStyle::mbr && layout.part2EndSector() >= twoTo32) {
        return "past the MBR's reach: " + render(layout);
    }
    const std::int64_t reserve = sectors - tail - 65536 - layout.part2StartSector;
    const auto recalculated = VentoyLayoutCalculator::calculate(sectors, sectorSize, layout.partitionStyle, reserve, false);
    const auto* success = std::get_if<VentoyLayoutCalculator::Success>(&recalculated);
    if (success == nullptr || !(success->layout == layout)) return "not a layout this system writes: " + render(layout);
    return "";
}

// A drive of `sectors` whose first sectors hold `bytes`.
std::unique_ptr<SparseBlockDevice> driveHolding(std::span<const std::uint8_t> bytes, std::int64_t sectors) {
    auto device = std::make_unique<SparseBlockDevice>(sectors, 512);
    EXPECT_TRUE(std::holds_alternative<BlockWriteSuccess>(device->writeSectors(0, {bytes.begin(), bytes.end()})));
    return device;
}

// What detect() says of a drive: asked twice, it must say the same, and that must be sound.
std::string faultOfDetection(BlockDevice& device) {
    const VentoyDetectionResult first = VentoyDriveDetector::detect(device);
    if (!(VentoyDriveDetector::detect(device) == first)) return "two answers: " + render(first);
    const auto* detection = std::get_if<VentoyDetectionResult::Detected>(&first.value);
    if (detection == nullptr) return "no status: " + render(first);
    return faultOf(detection->status, device.sectorCount(), device.sectorSize());
}

// Random sector 0 and GPT bytes, with the fields the classification reads forced to
// extreme values now and then (ASan and UBSan watch): each classification gives the same
// status twice, and a sound one.
TEST(VentoyDriveDetector, HostileBytesGiveOneSoundStatus) {
    std::mt19937_64 random(20261210);
    const std::int64_t extremes[] = {0, 1, -1, 65535, 65536, INT64_MAX, INT64_MIN, INT64_MAX - 65535, twoTo32};
    const std::int64_t diskSizes[] = {1, 2048, 67626, 100000, twoTo32, twoTo32 + 1, INT64_MAX};
    auto pick = [&](auto& values) { return values[random() % std::size(values)]; };
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::uint8_t> bytes(512 + 512 + 16384);
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
        bytes[510] = 0x55;
        bytes[511] = 0xAA;
        bytes[446 + 16 + 4] = round % 2 ? 0xEF : bytes[446 + 16 + 4];
        if (round % 3 == 0) std::copy_n("EFI PART", 8, bytes.begin() + 512);
        for (const std::size_t field : {1024 + 32, 1024 + 40, 1024 + 128 + 32, 1024 + 128 + 40}) {
            const std::uint64_t value = static_cast<std::uint64_t>(pick(extremes));
            for (int i = 0; i < 8; ++i) bytes[field + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        const std::span<const std::uint8_t> all(bytes);
        const std::int64_t sectors = pick(diskSizes);
        const std::size_t shortMbr = random() % 600;
        const std::size_t shortHeader = random() % 512;
        const std::size_t shortEntries = random() % 16384;
        const auto classifications = [&] {
            return std::vector<VentoyDriveStatus>{
                VentoyDriveDetector::classify(all.first(512), sectors, 512),
                VentoyDriveDetector::classify(all.first(shortMbr), sectors, 4096),
                VentoyDriveDetector::classifyGpt(all.subspan(512, 512), all.subspan(1024), sectors, 512),
                VentoyDriveDetector::classifyGpt(all.subspan(512, shortHeader), all.subspan(1024, shortEntries), sectors,
                                                 512),
            };
        };
        const std::vector<VentoyDriveStatus> statuses = classifications();
        ASSERT_EQ(classifications(), statuses);
        ASSERT_EQ(faultOf(statuses[0], sectors, 512), "");
        ASSERT_EQ(faultOf(statuses[1], sectors, 4096), "");
        ASSERT_EQ(faultOf(statuses[2], sectors, 512), "");
        ASSERT_EQ(faultOf(statuses[3], sectors, 512), "");
        if (sectors >= 34) {
            ASSERT_EQ(faultOfDetection(*driveHolding(all, sectors)), "");
        }
    }
}

// Random bytes seldom look like a layout. Genuine tables with a few bytes of their
// partition entries or GPT header changed come close to one, and now and then stay one:
// whatever detect() then reports must be sound.
TEST(VentoyDriveDetector, ChangedBytesOfAGenuineTableGiveOneSoundStatus) {
    std::mt19937_64 random(20260301);
    const std::int64_t diskSizes[] = {67593, 70001, 70035, 80001, 1000003, twoTo32, 3 * twoTo32};
    // Sector 0's partition entries, the GPT header's fields, the first two GPT entries.
    const std::pair<std::size_t, std::size_t> regions[] = {{446, 66}, {512, 92}, {1024, 256}};
    int reportedLayouts = 0;
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::int64_t sectors = diskSizes[random() % std::size(diskSizes)];
        const PartitionStyle style = random() % 2 ? PartitionStyle::gpt : PartitionStyle::mbr;
        const auto reserve = static_cast<std::int64_t>(random() % 5000);
        const auto result = VentoyLayoutCalculator::calculate(sectors, 512, style, reserve, random() % 2 == 0);
        const auto* success = std::get_if<VentoyLayoutCalculator::Success>(&result);
        if (success == nullptr) continue;
        SparseBlockDevice genuine(sectors, 512);
        writeTable(genuine, success->layout, VentoyLayoutCalculator::part1TypeData);
        std::vector<std::uint8_t> bytes = std::get<BlockReadSuccess>(genuine.readSectors(0, 34)).data;
        for (int change = 1 + static_cast<int>(random() % 3); change > 0; --change) {
            const auto& [start, length] = regions[random() % std::size(regions)];
            bytes[start + random() % length] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        const auto changed = driveHolding(bytes, sectors);
        ASSERT_EQ(faultOfDetection(*changed), "");
        const auto detection = VentoyDriveDetector::detect(*changed);
        const auto* status = std::get_if<VentoyDetectionResult::Detected>(&detection.value);
        if (status != nullptr && std::holds_alternative<VentoyDriveStatus::Ventoy>(status->status.value)) {
            ++reportedLayouts;
        }
    }
    // Changes the classification ignores (a CRC, a name, the boot flag) leave a layout.
    EXPECT_GT(reportedLayouts, 0);
}

}  // namespace
}  // namespace marlowick
