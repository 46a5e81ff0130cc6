#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "Bytes/LittleEndian.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Install/VentoyPartitionTable.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Support/SparseBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::SparseBlockDevice;

constexpr std::int64_t n = 62521344;
constexpr std::int32_t signature = -0x3501'4502;  // the top bit set: used by its 32-bit pattern
const BlockError readRefused{BlockError::DeviceFailure{"read", "lba 1: errno 5 (Input/output error)"}};

VentoyLayout layoutFor(PartitionStyle style) {
    return std::get<VentoyLayoutCalculator::Success>(VentoyLayoutCalculator::calculate(n, 512, style, 0, false)).layout;
}

std::vector<std::uint8_t> bootCode() {
    std::vector<std::uint8_t> code(440);
    std::iota(code.begin(), code.end(), std::uint8_t{0x33});
    return code;
}

// Recomputes a header's CRC after a deliberate change, so only the change itself is judged.
void resignHeader(std::vector<std::uint8_t>& header) {
    LittleEndian::write32(header, 16, 0);
    LittleEndian::write32(header, 16, GptBuilder::crc32(std::span(header).first(92)));
}

// Changes the primary entry array and re-signs it in the header, so that only the change
// itself is judged, not a CRC mismatch.
std::function<void(SparseBlockDevice&)> resignedEntryChange(std::function<void(std::vector<std::uint8_t>&)> change) {
    return [change](SparseBlockDevice& device) {
        std::vector<std::uint8_t> array;
        for (std::int64_t s = 2; s < 34; ++s) array.insert(array.end(), device.sector(s).begin(), device.sector(s).end());
        change(array);
        for (std::int64_t s = 2; s < 34; ++s) {
            const auto begin = array.begin() + (s - 2) * 512;
            std::copy(begin, begin + 512, device.sector(s).begin());
        }
        LittleEndian::write32(device.sector(1), 88, GptBuilder::crc32(array));
        resignHeader(device.sector(1));
    };
}

struct TamperRow {
    const char* name;
    PartitionStyle style;
    std::function<void(SparseBlockDevice&)> tamper;
    const char* note;  // nullptr: still verifies
};

class VentoyPartitionTableVerify : public ::testing::TestWithParam<TamperRow> {};

TEST_P(VentoyPartitionTableVerify, JudgesTheMedium) {
    const TamperRow& row = GetParam();
    const VentoyLayout layout = layoutFor(row.style);
    SparseBlockDevice device(n, 512);
    std::vector<std::string> notes{"earlier line"};
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "Ventoy", bootCode(), 0x07, notes));
    row.tamper(device);
    const bool verified = VentoyPartitionTable::verifyPartitionTable(device, layout, signature, 0x07, notes);
    if (row.note == nullptr) {
        EXPECT_TRUE(verified);
        EXPECT_EQ(notes.size(), 1u) << notes.back();
    } else {
        EXPECT_FALSE(verified);
        const std::vector<std::string> expected{"earlier line", row.note};
        EXPECT_EQ(notes, expected);
    }
}

const auto untouched = [](SparseBlockDevice&) {};

INSTANTIATE_TEST_SUITE_P(
    Mbr, VentoyPartitionTableVerify,
    ::testing::Values(
        TamperRow{"fresh", PartitionStyle::mbr, untouched, nullptr},
        // Active flags and the rest of the boot code are not compared.
        TamperRow{"activeFlagCleared", PartitionStyle::mbr, [](auto& d) { d.sector(0)[446] = 0x00; }, nullptr},
        TamperRow{"bootCodeByte", PartitionStyle::mbr, [](auto& d) { d.sector(0)[10] ^= 0xFF; }, nullptr},
        TamperRow{"diskSignature", PartitionStyle::mbr, [](auto& d) { d.sector(0)[440] ^= 0x01; },
                  "MBR read-back did not match the written layout"},
        TamperRow{"bootSignature", PartitionStyle::mbr, [](auto& d) { d.sector(0)[511] = 0x00; },
                  "MBR read-back did not match the written layout"},
        TamperRow{"part1Type", PartitionStyle::mbr, [](auto& d) { d.sector(0)[450] = 0x0C; },
                  "MBR read-back did not match the written layout"},
        TamperRow{"part2Count", PartitionStyle::mbr, [](auto& d) { d.sector(0)[462 + 12] ^= 0x01; },
                  "MBR read-back did not match the written layout"},
        TamperRow{"corePointer", PartitionStyle::mbr, [](auto& d) { d.sector(0)[92] = 0x22; },
                  "boot.img core.img pointer reads 34, expected 1 — the drive would not boot in legacy BIOS mode"},
        TamperRow{"corePointerNegative", PartitionStyle::mbr, [](auto& d) { d.sector(0)[99] = 0x80; },
                  "MBR read-back too short for the core.img sector pointer"},
        TamperRow{"readFails", PartitionStyle::mbr, [](auto& d) { d.failReadsOf(0, readRefused); },
                  "MBR read-back failed: deviceFailure(operation: \"read\", detail: \"lba 1: errno 5 "
                  "(Input/output error)\")"}),
    test::CaseName{});

INSTANTIATE_TEST_SUITE_P(
    Gpt, VentoyPartitionTableVerify,
    ::testing::Values(
        TamperRow{"fresh", PartitionStyle::gpt, untouched, nullptr},
        TamperRow{"protectiveType", PartitionStyle::gpt, [](auto& d) { d.sector(0)[450] = 0x07; },
                  "protective MBR read-back missing the 0xEE entry or boot signature"},
        TamperRow{"protectiveSignature", PartitionStyle::gpt, [](auto& d) { d.sector(0)[510] = 0x00; },
                  "protective MBR read-back missing the 0xEE entry or boot signature"},
        TamperRow{"corePointer", PartitionStyle::gpt, [](auto& d) { d.sector(0)[92] = 0x01; },
                  "boot.img core.img pointer reads 1, expected 34 — the drive would not boot in legacy BIOS mode"},
        TamperRow{"headerSignature", PartitionStyle::gpt, [](auto& d) { d.sector(1)[0] = 'X'; },
                  "primary GPT header read-back missing the EFI PART signature"},
        TamperRow{"headerByte", PartitionStyle::gpt, [](auto& d) { d.sector(1)[40] ^= 0x01; },
                  "primary GPT header read-back did not match the written header"},
        TamperRow{"entrySize", PartitionStyle::gpt,
                  [](auto& d) { LittleEndian::write32(d.sector(1), 84, 256); resignHeader(d.sector(1)); },
                  "primary GPT header read-back did not match the written header"},
        TamperRow{"entryCountHuge", PartitionStyle::gpt,
                  [](auto& d) { LittleEndian::write32(d.sector(1), 80, 0xFFFF'FFFF); resignHeader(d.sector(1)); },
                  "primary GPT header read-back did not match the written header"},
        TamperRow{"entryArrayLba", PartitionStyle::gpt,
                  [](auto& d) { LittleEndian::write64(d.sector(1), 72, 3); resignHeader(d.sector(1)); },
                  "primary GPT header read-back did not match the written header"},
        TamperRow{"entry5Byte", PartitionStyle::gpt, [](auto& d) { d.sector(2 + 5 * 128 / 512)[(5 * 128) % 512] ^= 0x01; },
                  "GPT entry-array read-back CRC32 did not match the header"},
        TamperRow{"entry1StartResigned", PartitionStyle::gpt,
                  resignedEntryChange([](auto& array) { LittleEndian::write64(array, 32, 4096); }),
                  "GPT partition entries read-back did not match the written layout"},
        TamperRow{"entry2TypeResigned", PartitionStyle::gpt,
                  resignedEntryChange([](auto& array) { array[128] ^= 0x01; }),
                  "GPT partition entries read-back did not match the written layout"},
        // Names, unique GUIDs and last sectors are not compared.
        TamperRow{"entry1NameResigned", PartitionStyle::gpt,
                  resignedEntryChange([](auto& array) { array[56] = 'W'; }),
                  nullptr},
        TamperRow{"backupHeaderByte", PartitionStyle::gpt, [](auto& d) { d.sector(n - 1)[30] ^= 0x01; },
                  "backup GPT header read-back did not match"},
        TamperRow{"backupHeaderMissing", PartitionStyle::gpt, [](auto& d) { d.sector(n - 1).assign(512, 0); },
                  "backup GPT header read-back did not match"},
        TamperRow{"backupMyLbaResigned", PartitionStyle::gpt,
                  [](auto& d) { LittleEndian::write64(d.sector(n - 1), 24, n - 2); resignHeader(d.sector(n - 1)); },
                  "backup GPT header read-back did not match"},
        // The backup entry array is not read back.
        TamperRow{"backupArrayByte", PartitionStyle::gpt, [](auto& d) { d.sector(n - 33)[0] ^= 0x01; }, nullptr},
        TamperRow{"headerReadFails", PartitionStyle::gpt, [](auto& d) { d.failReadsOf(1, readRefused); },
                  "primary GPT header read-back failed: deviceFailure(operation: \"read\", detail: \"lba 1: errno 5 "
                  "(Input/output error)\")"},
        TamperRow{"arrayReadFails", PartitionStyle::gpt, [](auto& d) { d.failReadsOf(20, readRefused); },
                  "GPT entry array read-back failed: deviceFailure(operation: \"read\", detail: \"lba 1: errno 5 "
                  "(Input/output error)\")"},
        TamperRow{"backupReadFails", PartitionStyle::gpt, [](auto& d) { d.failReadsOf(n - 1, readRefused); },
                  "backup GPT header read-back failed: deviceFailure(operation: \"read\", detail: \"lba 1: errno 5 "
                  "(Input/output error)\")"}),
    test::CaseName{});

TEST(VentoyPartitionTableReadBack, MbrCheckUsesTheSignaturesBitPattern) {
    const VentoyLayout layout = layoutFor(PartitionStyle::mbr);
    SparseBlockDevice device(n, 512);
    std::vector<std::string> notes;
    ASSERT_TRUE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "", bootCode(), 0x0C, notes));
    EXPECT_EQ(LittleEndian::read32(device.sector(0), 440), static_cast<std::uint32_t>(signature));
    EXPECT_FALSE(VentoyPartitionTable::verifyPartitionTable(device, layout, signature, 0x07, notes));
    EXPECT_TRUE(VentoyPartitionTable::verifyPartitionTable(device, layout, signature, 0x0C, notes));
    const std::vector<std::string> expected{"MBR read-back did not match the written layout"};
    EXPECT_EQ(notes, expected);
}

TEST(VentoyPartitionTableReadBack, ClosedDeviceIsANoteNotACrash) {
    const VentoyLayout layout = layoutFor(PartitionStyle::gpt);
    SparseBlockDevice device(n, 512);
    device.close();
    std::vector<std::string> notes;
    EXPECT_FALSE(VentoyPartitionTable::verifyPartitionTable(device, layout, signature, 0x07, notes));
    const std::vector<std::string> expected{"protective MBR read-back failed: closed(operation: \"read\")"};
    EXPECT_EQ(notes, expected);
}

}  // namespace
}  // namespace marlowick
