#include "HelperWire/HelperVentoyLayout.hpp"

#include <gtest/gtest.h>

#include "HelperWire/WireRoundTrip.hpp"

namespace marlowick {
namespace {

const VentoyLayout gptLayout{62521344, 512, 2048, 62453760, 62455808, 65536, PartitionStyle::gpt, 34};

TEST(HelperVentoyLayout, CopiesTheEngineLayoutFieldForField) {
    const HelperVentoyLayout wire(gptLayout);
    test::expectWireRoundTrip(R"({"diskSectorCount":62521344,"sectorSize":512,"part1StartSector":2048,)"
                              R"("part1SectorCount":62453760,"part2StartSector":62455808,"part2SectorCount":65536,)"
                              R"("partitionStyle":"gpt","coreStartSector":34})",
                              wire);
    EXPECT_EQ(wire.ventoyLayout(), gptLayout);

    VentoyLayout mbr = gptLayout;
    mbr.partitionStyle = PartitionStyle::mbr;
    mbr.coreStartSector = 1;
    EXPECT_EQ(HelperVentoyLayout(mbr).partitionStyle, "mbr");
    EXPECT_EQ(HelperVentoyLayout(mbr).ventoyLayout(), mbr);
}

TEST(HelperVentoyLayout, UnknownStyleDecodesButGivesNoEngineLayout) {
    for (const char* style : {"GPT", "MBR", "", "gpt "}) {
        HelperVentoyLayout wire(gptLayout);
        wire.partitionStyle = style;
        const auto text = encodeJson(wire);
        ASSERT_TRUE(text.has_value());
        const auto decoded = tryDecodeJson<HelperVentoyLayout>(*text);
        ASSERT_TRUE(decoded.has_value()) << style;
        EXPECT_EQ(decoded->partitionStyle, style);
        EXPECT_EQ(decoded->ventoyLayout(), std::nullopt) << style;
    }
    // Numbers are copied unchecked, but never truncated into the engine's int sector size.
    HelperVentoyLayout odd(gptLayout);
    odd.part1StartSector = -5;
    ASSERT_TRUE(odd.ventoyLayout().has_value());
    EXPECT_EQ(odd.ventoyLayout()->part1StartSector, -5);
    odd.sectorSize = std::int64_t{1} << 32;
    EXPECT_EQ(odd.ventoyLayout(), std::nullopt);
}

}  // namespace
}  // namespace marlowick
