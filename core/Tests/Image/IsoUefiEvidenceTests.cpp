#include "Image/IsoUefiEvidence.hpp"

#include "Image/IsoImageSupport.hpp"
#include "Support/TestSupport.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

using test::catalogSector;
using test::entry;

constexpr std::uint8_t efi = 0xEF;
constexpr std::uint8_t x86 = 0x00;

std::vector<std::uint8_t> defaultEntry() { return entry({0x88}); }

struct CatalogCase {
    const char* name;
    std::vector<std::uint8_t> catalog;
    IsoUefiBoot expected;
    friend void PrintTo(const CatalogCase& c, std::ostream* os) { *os << c.name; }
};

std::vector<CatalogCase> catalogCases() {
    std::vector<CatalogCase> cases;
    cases.push_back({"efiValidationEntry", catalogSector(efi, {defaultEntry()}), IsoUefiBoot::present});
    cases.push_back({"biosDefaultOnly", catalogSector(x86, {defaultEntry()}), IsoUefiBoot::none});
    cases.push_back({"finalHeaderForEfi", catalogSector(x86, {defaultEntry(), entry({0x91, efi, 1}), defaultEntry()}),
                     IsoUefiBoot::present});
    cases.push_back({"finalHeaderForBios", catalogSector(x86, {defaultEntry(), entry({0x91, x86, 1}), defaultEntry()}),
                     IsoUefiBoot::none});
    // Two entries, the first followed by an extension, are skipped before the EFI header.
    cases.push_back({"efiAfterEntriesAndExtension",
                     catalogSector(x86, {defaultEntry(), entry({0x90, x86, 2}), defaultEntry(), entry({0x44}),
                                         defaultEntry(), entry({0x91, efi, 1}), defaultEntry()}),
                     IsoUefiBoot::present});
    cases.push_back({"otherPlatforms", catalogSector(0x01, {defaultEntry(), entry({0x90, 0x02, 1}), defaultEntry(),
                                                            entry({0x91, 0x01, 1}), defaultEntry()}),
                     IsoUefiBoot::none});
    cases.push_back({"efiOnAMoreFollowHeader", catalogSector(x86, {defaultEntry(), entry({0x90, efi, 1}), defaultEntry()}),
                     IsoUefiBoot::present});
    cases.push_back({"endOfHeadersAfterASection",
                     catalogSector(x86, {defaultEntry(), entry({0x90, x86, 1}), defaultEntry()}), IsoUefiBoot::none});
    cases.push_back({"unknownIndicator", catalogSector(x86, {defaultEntry(), entry({0x12, efi})}), IsoUefiBoot::unknown});

    auto badChecksum = catalogSector(efi, {defaultEntry()});
    badChecksum[4] ^= 0x01;
    cases.push_back({"badChecksum", badChecksum, IsoUefiBoot::unknown});
    auto badHeaderId = catalogSector(efi, {});
    badHeaderId[0] = 0x02;
    cases.push_back({"badHeaderId", badHeaderId, IsoUefiBoot::unknown});
    auto badKey = catalogSector(efi, {});
    badKey[31] = 0x00;
    cases.push_back({"badKeyBytes", badKey, IsoUefiBoot::unknown});
    const auto efiOnly = catalogSector(efi, {});
    cases.push_back({"shorterThanAnEntry", {efiOnly.begin(), efiOnly.begin() + 20}, IsoUefiBoot::unknown});
    const auto biosOnly = catalogSector(x86, {});
    cases.push_back({"validationEntryOnly", {biosOnly.begin(), biosOnly.begin() + 32}, IsoUefiBoot::unknown});

    // Hostile counts and layouts: the walk leaves the sector and must stop at its end.
    cases.push_back({"hugeEntryCount", catalogSector(x86, {defaultEntry(), entry({0x90, x86, 0xFF, 0xFF})}),
                     IsoUefiBoot::unknown});
    std::vector<std::vector<std::uint8_t>> extensionsToTheEnd{defaultEntry(), entry({0x90, x86, 1}), defaultEntry()};
    while (extensionsToTheEnd.size() < 63) extensionsToTheEnd.push_back(entry({0x44}));
    cases.push_back({"extensionsToTheEnd", catalogSector(x86, extensionsToTheEnd), IsoUefiBoot::unknown});
    std::vector<std::vector<std::uint8_t>> headersToTheEnd{defaultEntry()};
    while (headersToTheEnd.size() < 63) headersToTheEnd.push_back(entry({0x90, x86, 0}));
    cases.push_back({"headersToTheEnd", catalogSector(x86, headersToTheEnd), IsoUefiBoot::unknown});
    return cases;
}

class CatalogUefiBoot : public ::testing::TestWithParam<CatalogCase> {};

TEST_P(CatalogUefiBoot, ReadsOnlyInsideTheCatalog) {
    const CatalogCase& c = GetParam();
    // An exact-size copy: ASan reports any read past its end.
    const std::vector<std::uint8_t> catalog = c.catalog;
    EXPECT_EQ(IsoUefiEvidence::catalogUefiBoot(catalog), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Catalogs, CatalogUefiBoot, ::testing::ValuesIn(catalogCases()), test::CaseName{});

std::vector<std::uint8_t> mbrWithTypes(std::vector<std::uint8_t> types, bool signature = true) {
    std::vector<std::uint8_t> mbr(512);
    for (std::size_t i = 0; i < types.size(); ++i) mbr[450 + 16 * i] = types[i];
    if (signature) test::putBootSignature(mbr);
    return mbr;
}

TEST(IsoUefiEvidence, FindsProtectiveOrEfiPartitionsInASignedMbrOnly) {
    EXPECT_TRUE(IsoUefiEvidence::mbrHasUefiPartition(mbrWithTypes({0xEE})));
    EXPECT_TRUE(IsoUefiEvidence::mbrHasUefiPartition(mbrWithTypes({0x17, 0x00, 0x00, 0xEF})));
    EXPECT_FALSE(IsoUefiEvidence::mbrHasUefiPartition(mbrWithTypes({0x17, 0x83, 0x0C, 0x07})));
    EXPECT_FALSE(IsoUefiEvidence::mbrHasUefiPartition(mbrWithTypes({0xEF}, false)));
    const auto mbr = mbrWithTypes({0xEF});
    EXPECT_FALSE(IsoUefiEvidence::mbrHasUefiPartition(std::span(mbr).first(511)));
}

TEST(IsoUefiEvidence, ReadSectorSkipsForwardThenReadsOneWholeSector) {
    std::vector<std::uint8_t> bytes(200'000 + 2048);
    for (std::size_t i = 0; i < 2048; ++i) bytes[200'000 + i] = static_cast<std::uint8_t>(i * 7);
    test::MemoryIsoStream stream(bytes, 1000);
    const auto sector = IsoUefiEvidence::readSector(200'000, stream);
    ASSERT_TRUE(sector.has_value());
    EXPECT_TRUE(std::equal(sector->begin(), sector->end(), bytes.begin() + 200'000));
    EXPECT_EQ(stream.position, bytes.size());
    EXPECT_LE(stream.largestRequest, 65536U);
    EXPECT_EQ(stream.closes, 0);
}

TEST(IsoUefiEvidence, ReadSectorGivesNothingWhenTheSectorIsNotWhole) {
    const std::vector<std::uint8_t> bytes(10'000);
    test::MemoryIsoStream shortStream(bytes);
    EXPECT_FALSE(IsoUefiEvidence::readSector(9'000, shortStream).has_value());
    test::MemoryIsoStream endsWhileSkipping(bytes);
    EXPECT_FALSE(IsoUefiEvidence::readSector(20'000, endsWhileSkipping).has_value());
    test::MemoryIsoStream any(bytes);
    EXPECT_FALSE(IsoUefiEvidence::readSector(-1, any).has_value());

    int calls = 0;
    test::ScriptedIsoStream failsSecond([&calls](std::span<std::uint8_t> into) {
        if (++calls > 1) return RawImageReadResult::failed("read failed: Input/output error");
        return RawImageReadResult::bytes(static_cast<std::int64_t>(into.size()));
    });
    EXPECT_FALSE(IsoUefiEvidence::readSector(100'000, failsSecond).has_value());
    test::ScriptedIsoStream readsNothing([](std::span<std::uint8_t>) { return RawImageReadResult::bytes(0); });
    EXPECT_FALSE(IsoUefiEvidence::readSector(0, readsNothing).has_value());
}

}  // namespace
}  // namespace marlowick
