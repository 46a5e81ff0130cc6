#include "Assets/VentoyVersionSelection.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "Assets/VentoyReleaseCatalog.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

TEST(VentoyVersionSelection, ComparesVersionsPieceByPiece) {
    struct Case {
        const char* first;
        const char* second;
        int expected;
    };
    const Case cases[] = {
        {"1.1.17", "1.1.9", 1},   {"1.1.9", "1.1.17", -1},         {"1.1", "1.1.0", 0},
        {"1.1.17-beta", "1.1", 0}, {"v2", "1", -1},                {"1..2", "1.2", 0},
        {".1.2.", "1.2", 0},       {"+3", "3", 0},                 {"-1", "0", -1},
        {"1.+-2", "1", 0},         {"99999999999999999999", "0", 0}, {"9223372036854775807", "1", 1},
        {"", "0.0", 0},            {"1.2.3.4", "1.2.3", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " vs " + c.second);
        EXPECT_EQ(VentoyVersionSelection::compare(c.first, c.second), c.expected);
    }
}

// One registry record. Its manifest is the pinned one under another version and the
// archive name "registry-<version>", so a result shows where each entry came from.
struct Record {
    const char* version;
    bool enabled;
    bool current;
    bool visible;
    std::int64_t minimumAppVersion = 1;
};

VentoyRegistryRelease release(const Record& record) {
    const VentoyReleaseManifest& pinned = VentoyReleaseManifest::pinned();
    return VentoyRegistryRelease{
        .manifest = VentoyReleaseManifest(record.version, std::string("registry-") + record.version,
                                          pinned.archiveSha256(), pinned.archiveSizeBytes(), pinned.assets(),
                                          record.minimumAppVersion, pinned.downloadBaseUrl()),
        .enabled = record.enabled,
        .current = record.current,
        .visible = record.visible,
        .verifiedOn = std::nullopt,
    };
}

// "1.1.18r 1.1.17 …": each version, with "r" when the entry is the registry's manifest.
std::string describe(const std::vector<VentoyReleaseManifest>& manifests) {
    std::string text;
    for (const VentoyReleaseManifest& manifest : manifests) {
        if (!text.empty()) text += ' ';
        text += manifest.version() + (manifest.archiveName().starts_with("registry-") ? "r" : "");
    }
    return text;
}

struct SelectionCase {
    const char* name;
    std::optional<std::vector<Record>> registry;  // nullopt: no registry at all
    std::int64_t appVersion;
    const char* recommended;
    const char* available;
};

const SelectionCase selectionCases[] = {
    {"noRegistry", std::nullopt, 1, "1.1.17", "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"emptyRegistry", std::vector<Record>{}, 1, "1.1.17", "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"newerCurrentRelease", std::vector<Record>{{"1.1.18", true, true, true}}, 1, "1.1.18r",
     "1.1.18r 1.1.17 1.1.16 1.1.15 1.1.14"},
    {"needsANewerApplication", std::vector<Record>{{"1.1.18", true, true, true, 5}}, 4, "1.1.17",
     "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"newEnoughApplication", std::vector<Record>{{"1.1.18", true, true, true, 5}}, 5, "1.1.18r",
     "1.1.18r 1.1.17 1.1.16 1.1.15 1.1.14"},
    {"twoCurrentReleases", std::vector<Record>{{"1.1.18", true, true, false}, {"1.1.19", true, true, false}}, 1,
     "1.1.17", "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"currentOlderThanTheFloor", std::vector<Record>{{"1.1.16", true, true, false}}, 1, "1.1.17",
     "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"currentButDisabled", std::vector<Record>{{"1.1.18", false, true, true}}, 1, "1.1.17",
     "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"currentButNotVisibleGoesInFront", std::vector<Record>{{"1.1.16", true, false, true}, {"1.1.18", true, true, false}},
     1, "1.1.18r", "1.1.18r 1.1.17 1.1.16 1.1.15 1.1.14"},
    {"visibleNewerBehindCurrent", std::vector<Record>{{"1.1.19", true, false, true}, {"1.1.18", true, true, false}}, 1,
     "1.1.18r", "1.1.18r 1.1.19r 1.1.17 1.1.16 1.1.15 1.1.14"},
    {"disabledBuiltInLeavesTheChoice", std::vector<Record>{{"1.1.16", false, false, false}}, 1, "1.1.17",
     "1.1.17 1.1.15 1.1.14"},
    {"disabledNeedsNoCompatibleApplication", std::vector<Record>{{"1.1.16", false, false, false, 99}}, 1, "1.1.17",
     "1.1.17 1.1.15 1.1.14"},
    {"builtInWinsOverTheRegistrysManifest", std::vector<Record>{{"1.1.16", true, false, true}}, 1, "1.1.17",
     "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"twoRecordsOfOneVersionOfferedOnce",
     std::vector<Record>{{"1.1.20", true, false, true}, {"1.1.20", true, false, true}}, 1, "1.1.17",
     "1.1.20r 1.1.17 1.1.16 1.1.15 1.1.14"},
    // A disabled floor is never recommended: the helper program would refuse it.
    {"disabledFloorGivesTheNewestSelectable", std::vector<Record>{{"1.1.17", false, false, false}}, 1, "1.1.16",
     "1.1.16 1.1.15 1.1.14"},
    {"disabledFloorWithANewerVisibleRelease",
     std::vector<Record>{{"1.1.17", false, false, false}, {"1.1.18", true, false, true}}, 1, "1.1.18r",
     "1.1.18r 1.1.16 1.1.15 1.1.14"},
    {"disabledFloorAndCurrentOlder",
     std::vector<Record>{{"1.1.17", false, false, false}, {"1.1.15", true, true, false}}, 1, "1.1.16",
     "1.1.16 1.1.15 1.1.14"},
    {"currentDisabledByASecondRecord",
     std::vector<Record>{{"1.1.18", true, true, true}, {"1.1.18", false, false, false}}, 1, "1.1.17",
     "1.1.17 1.1.16 1.1.15 1.1.14"},
    {"nothingSelectableKeepsTheFloor",
     std::vector<Record>{{"1.1.17", false, false, false},
                         {"1.1.16", false, false, false},
                         {"1.1.15", false, false, false},
                         {"1.1.14", false, false, false}},
     1, "1.1.17", "1.1.17"},
};

void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.name; }

class VentoyReleaseSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(VentoyReleaseSelection, RecommendsAndOffers) {
    const SelectionCase& c = GetParam();
    std::optional<VentoyVersionRegistry> registry;
    if (c.registry) {
        registry.emplace();
        for (const Record& record : *c.registry) registry->releases.push_back(release(record));
    }
    const VentoyReleaseCatalog catalog(registry, VentoyReleaseManifest::pinned(), VentoyReleaseManifest::available(),
                                       c.appVersion);
    EXPECT_EQ(describe({catalog.recommended()}), c.recommended);
    EXPECT_EQ(describe(catalog.available()), c.available);
    EXPECT_EQ(catalog.usesRegistry(), c.registry.has_value());
    // Whatever is recommended is among what is offered.
    const std::vector<VentoyReleaseManifest> offered = catalog.available();
    EXPECT_NE(std::find(offered.begin(), offered.end(), catalog.recommended()), offered.end());
}

INSTANTIATE_TEST_SUITE_P(Registries, VentoyReleaseSelection, ::testing::ValuesIn(selectionCases), test::CaseName{});

TEST(VentoyReleaseCatalog, FindsTheManifestOfAnAvailableVersionOnly) {
    VentoyVersionRegistry registry;
    registry.releases.push_back(release({"1.1.16", false, false, false}));
    registry.releases.push_back(release({"1.1.18", true, true, true}));
    VentoyReleaseCatalog catalog(registry, VentoyReleaseManifest::pinned(), VentoyReleaseManifest::available(), 1);
    struct Case {
        std::optional<std::string> version;
        const char* expected;
    };
    const Case cases[] = {
        {std::nullopt, "1.1.18r"}, {"", "1.1.18r"}, {"1.1.15", "1.1.15"}, {"1.1.17", "1.1.17"},
        {"1.1.16", "1.1.18r"},  // disabled
        {" 1.1.15", "1.1.18r"},  // not trimmed
        {"9.9.9", "1.1.18r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version.value_or("<none>"));
        EXPECT_EQ(describe({catalog.manifest(c.version)}), c.expected);
    }

    catalog.update(std::nullopt);
    EXPECT_FALSE(catalog.usesRegistry());
    EXPECT_EQ(describe({catalog.manifest("1.1.16")}), "1.1.16");
    EXPECT_EQ(describe({catalog.manifest("1.1.18")}), "1.1.17");
    EXPECT_EQ(describe(catalog.available()), "1.1.17 1.1.16 1.1.15 1.1.14");
}

}  // namespace
}  // namespace marlowick
