#include "Image/RawWritePreflight.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

using Notice = RawWritePreflightNotice;

IsoHeader headerWith(std::optional<std::int64_t> declared, IsoBootRecord bootRecord, IsoUefiBoot uefiBoot) {
    return IsoHeader{IsoInspection{IsoInspection::Isohybrid{}}, declared, bootRecord, uefiBoot};
}

TEST(RawWritePreflight, NoticesInOrderFromSizeAndEvidenceOnly) {
    struct Row {
        const char* name;
        IsoHeader header;
        std::optional<std::int64_t> fileBytes;
        std::vector<Notice> expected;
    };
    const Row rows[] = {
        {"clean", headerWith(100, IsoBootRecord::elTorito, IsoUefiBoot::present), 100, {}},
        {"longerFile", headerWith(100, IsoBootRecord::elTorito, IsoUefiBoot::unknown), 200, {}},
        {"sizeUnknown", headerWith(100, IsoBootRecord::elTorito, IsoUefiBoot::present), std::nullopt, {}},
        {"noDeclaredSize", headerWith(std::nullopt, IsoBootRecord::elTorito, IsoUefiBoot::present), 1, {}},
        {"oneByteShort", headerWith(100, IsoBootRecord::elTorito, IsoUefiBoot::present), 99,
         {Notice{Notice::Truncated{100, 99}}}},
        {"all", headerWith(4'700'000'000, IsoBootRecord::none, IsoUefiBoot::none), 1'000,
         {Notice{Notice::Truncated{4'700'000'000, 1'000}}, Notice{Notice::NoBootRecord{}}, Notice{Notice::BiosOnly{}}}},
        // The inspection is not consulted.
        {"notIso", IsoHeader{IsoInspection{IsoInspection::NotIso9660{}}, std::nullopt, IsoBootRecord::none,
                             IsoUefiBoot::none},
         std::nullopt, {Notice{Notice::NoBootRecord{}}, Notice{Notice::BiosOnly{}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RawWritePreflight::notices(row.header, row.fileBytes), row.expected);
    }
    EXPECT_FALSE(RawWritePreflight::truncated(100, 100));
    EXPECT_TRUE(RawWritePreflight::truncated(100, 99));
}

TEST(RawWritePreflight, SizesThatReadAlikeAreShownExactly) {
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(RawWritePreflight::distinguishableSizes(4'700'000'000, 1'000'000'000, "en_US"),
              Pair("4.7 GB", "1 GB"));
    EXPECT_EQ(RawWritePreflight::distinguishableSizes(4'700'000'000, 4'700'000'100, "en_US"),
              Pair("4,700,000,000 bytes", "4,700,000,100 bytes"));
    EXPECT_EQ(RawWritePreflight::distinguishableSizes(1'500'000, 1'450'000, "en_US"), Pair("1.5 MB", "1.4 MB"));
}

TEST(RawWritePreflight, NoticeMessages) {
    EXPECT_EQ(Notice{Notice::NoBootRecord{}}.message(),
              "This ISO declares no boot record. Data discs look like this, and so does an image that was never meant "
              "to start a computer.");
    EXPECT_EQ(Notice{Notice::BiosOnly{}}.message(),
              "This ISO declares a boot entry for legacy BIOS PCs only, and none for UEFI. Most modern PCs start in "
              "UEFI mode — to boot it, turn off Secure Boot and switch the PC to Legacy/CSM boot in its firmware "
              "settings, if it offers that.");
    const std::string truncated = Notice{Notice::Truncated{4'700'000'000, 2'100'000'000}}.message();
    const auto [declared, file] = RawWritePreflight::distinguishableSizes(4'700'000'000, 2'100'000'000);
    EXPECT_EQ(truncated, "The image says it is " + declared + ", but the file is " + file +
                             ". A file shorter than the image inside it is what an interrupted download looks like — "
                             "Marlowick can't tell whether the missing part matters.");
    EXPECT_EQ(render(Notice{Notice::Truncated{100, 40}}), "truncated(declaredBytes: 100, fileBytes: 40)");
}

}  // namespace
}  // namespace marlowick
