// What the drive browser writes for an entry and for a selection.
#include <gtest/gtest.h>

#include "Home/DriveBrowserPresentation.hpp"

namespace marlowick {
namespace {

namespace presentation = DriveBrowserPresentation;

MountedEntry entry(const std::string& path, bool folder, std::int64_t size = 0) {
    return MountedEntry(*VolumePath::parse(path), folder, size, std::chrono::system_clock::time_point());
}

TEST(DriveBrowserPresentation, TheSymbolFollowsTheExtensionWhateverItsCase) {
    struct Case {
        const char* path;
        bool folder;
        const char* glyph;
    };
    for (const Case& c : std::vector<Case>{
             {"/a.ISO", false, "opticaldisc"},
             {"/b.Img", false, "opticaldisc"},
             {"/c.VtOy", false, "opticaldisc"},
             {"/boot.efi", false, "opticaldisc"},
             {"/win.wim", false, "opticaldisc"},
             {"/ventoy.json", false, "doc.text"},
             {"/README.MD", false, "doc.text"},
             {"/grub.conf", false, "doc.text"},
             {"/tools.zip", false, "doc"},
             {"/LICENSE", false, "doc"},
             {"/archive.iso.part", false, "doc"},
             {"/trailing.", false, "doc"},
             {"/disc.iso", true, "folder.fill"},
         }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(presentation::glyph(entry(c.path, c.folder)), c.glyph);
    }
}

TEST(DriveBrowserPresentation, RowsAndTheSelectionAreReadWithTheirSizes) {
    const MountedEntry folder = entry("/tools", true);
    const MountedEntry image = entry("/linux.iso", false, 4'700'000'000);
    EXPECT_EQ(presentation::accessibilityLabel(folder), "tools, folder");
    EXPECT_EQ(presentation::accessibilityLabel(image), "linux.iso, 4.7 GB");
    EXPECT_EQ(presentation::sizeText(folder), "—");
    EXPECT_EQ(presentation::sizeText(image), "4.7 GB");
    EXPECT_EQ(presentation::selectionSummary({}), "");
    EXPECT_EQ(presentation::selectionSummary({folder, image, entry("/a.txt", false, 300'000'000)}),
              "3 selected · 5 GB");
}

TEST(DriveBrowserPresentation, DatesShowDayMonthAndYearInTheLocale) {
    // 2026-12-11 12:00 UTC: the same day in every time zone within twelve hours of UTC.
    const auto noon = std::chrono::system_clock::time_point(std::chrono::seconds(1'796'990'400));
    EXPECT_EQ(presentation::dateText(noon, "en_US"), "Dec 11, 2026");
    EXPECT_EQ(presentation::dateText(noon, "de_DE"), "11. Dez. 2026");
}

}  // namespace
}  // namespace marlowick
