#include "Assets/VentoyAssetProvider.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <functional>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using AssetBytes = std::map<VentoyAsset, Bytes>;

const std::string archiveDigest(64, 'c');

VentoyReleaseManifest manifestFor(const std::string& version, std::int64_t bootSize = 512,
                                  std::int64_t coreSize = 1000, std::int64_t diskSize = 2000) {
    const std::string digest(64, 'd');
    std::map<VentoyAsset, VentoyReleaseManifest::AssetChecksum> assets;
    for (const auto& [asset, size] : {std::pair{VentoyAsset::bootImg, bootSize}, std::pair{VentoyAsset::coreImg, coreSize},
                                      std::pair{VentoyAsset::ventoyDiskImg, diskSize}}) {
        assets.emplace(asset, VentoyReleaseManifest::AssetChecksum(std::string(memberPathSuffix(asset)), digest, size,
                                                                   digest, size));
    }
    return VentoyReleaseManifest(version, "ventoy-" + version + "-linux.tar.gz", archiveDigest, 1, assets, 1,
                                 std::string(VentoyReleaseManifest::defaultDownloadBaseUrl));
}

// Boot files of the sizes manifestFor pins, filled with `fill`.
AssetBytes bootFiles(std::uint8_t fill) {
    return {{VentoyAsset::bootImg, Bytes(512, fill)},
            {VentoyAsset::coreImg, Bytes(1000, fill)},
            {VentoyAsset::ventoyDiskImg, Bytes(2000, fill)}};
}

unsigned permissionBits(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return 07777;
    return status.st_mode & 07777;
}

std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(directory, ignored)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

const VentoyAssetSet* storedSet(const VentoyCacheResult& result) {
    const auto* stored = std::get_if<VentoyCacheResult::Stored>(&result.value);
    return stored == nullptr ? nullptr : &stored->set;
}

class VentoyAssetProviderTest : public ::testing::Test {
protected:
    test::TempDir cacheRoot;
    VentoyAssetProvider provider{cacheRoot.path()};
    fs::path assets = cacheRoot.path() / "ventoy-assets";
};

TEST_F(VentoyAssetProviderTest, StoresAPrivateCompleteEntryThatCachedThenFinds) {
    const VentoyCacheResult result = provider.store("1.1.17", bootFiles(0x11), archiveDigest);

    const fs::path entry = assets / "1.1.17";
    const VentoyAssetSet expected{"1.1.17",
                                  {{VentoyAsset::bootImg, entry / "boot.img"},
                                   {VentoyAsset::coreImg, entry / "core.img"},
                                   {VentoyAsset::ventoyDiskImg, entry / "ventoy.disk.img"}}};
    EXPECT_EQ(result, (VentoyCacheResult{VentoyCacheResult::Stored{expected}}));
    EXPECT_EQ(provider.cached(manifestFor("1.1.17")), expected);
    EXPECT_TRUE(provider.isCached(manifestFor("1.1.17")));

    for (const auto& [asset, bytes] : bootFiles(0x11)) EXPECT_TRUE(test::readFile(expected.url(asset)) == bytes);
    const Bytes marker = test::readFile(entry / ".complete");
    EXPECT_EQ(std::string(marker.begin(), marker.end()), archiveDigest + "\n1.1.17\n");
    EXPECT_EQ(namesIn(assets), std::vector<std::string>{"1.1.17"}) << "no staging or aside directory left";
    EXPECT_EQ(namesIn(entry), (std::vector<std::string>{".complete", "boot.img", "core.img", "ventoy.disk.img"}));
    for (const fs::path& directory : {assets, entry}) EXPECT_EQ(permissionBits(directory), 0700u) << directory;
    for (const auto& name : namesIn(entry)) EXPECT_EQ(permissionBits(entry / name), 0600u) << name;
}

TEST_F(VentoyAssetProviderTest, CountsOnlyAnEntryWithItsMarkerAndThreeFilesOfThePinnedSizes) {
    struct Row {
        const char* name;
        std::function<void(const fs::path& entry)> damage;
        bool cached;
    };
    const Row rows[] = {
        {"intact", [](const fs::path&) {}, true},
        {"content changed, sizes kept (not hashed)", [](const fs::path& e) { test::writeFile(e / "core.img", Bytes(1000, 0xEE)); }, true},
        {"no marker", [](const fs::path& e) { fs::remove(e / ".complete"); }, false},
        {"a directory named .complete",
         [](const fs::path& e) {
             fs::remove(e / ".complete");
             fs::create_directory(e / ".complete");
         },
         false},
        {"core.img cut short", [](const fs::path& e) { fs::resize_file(e / "core.img", 999); }, false},
        {"core.img missing", [](const fs::path& e) { fs::remove(e / "core.img"); }, false},
        {"a directory in place of ventoy.disk.img",
         [](const fs::path& e) {
             fs::remove(e / "ventoy.disk.img");
             fs::create_directory(e / "ventoy.disk.img");
         },
         false},
        {"only the staging directory", [](const fs::path& e) { fs::rename(e, fs::path(e.string() + ".partial")); }, false},
        {"no entry at all", [](const fs::path& e) { fs::remove_all(e); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(assets);
        ASSERT_NE(storedSet(provider.store("2.0", bootFiles(1), archiveDigest)), nullptr);
        row.damage(assets / "2.0");
        EXPECT_EQ(provider.isCached(manifestFor("2.0")), row.cached);
    }
    EXPECT_FALSE(provider.isCached(manifestFor("2.0", 512, 1001))) << "a size the manifest does not pin";
}

TEST_F(VentoyAssetProviderTest, ReplacesAnEntryWholeAndCleansOnlyItsOwnLeftoverStaging) {
    ASSERT_NE(storedSet(provider.store("1.0", bootFiles(1), archiveDigest)), nullptr);
    ASSERT_NE(storedSet(provider.store("2.0", bootFiles(2), archiveDigest)), nullptr);
    // Left by stores that were cut off: a staging directory of each version, with a stray file.
    for (const char* version : {"1.0.partial", "2.0.partial"}) {
        fs::create_directories(assets / version);
        test::writeFile(assets / version / "stray", {9});
    }

    const auto result = provider.store("1.0", bootFiles(3), archiveDigest);

    ASSERT_NE(storedSet(result), nullptr) << ::testing::PrintToString(result);
    EXPECT_TRUE(test::readFile(assets / "1.0" / "boot.img") == Bytes(512, 3));
    EXPECT_EQ(namesIn(assets), (std::vector<std::string>{"1.0", "2.0", "2.0.partial"}));
    EXPECT_TRUE(test::readFile(assets / "2.0" / "boot.img") == Bytes(512, 2)) << "other versions are not touched";
}

// The moves are the one step that permissions cannot stop for root, so a seam over rename
// makes them fail.
TEST_F(VentoyAssetProviderTest, AFailedMoveKeepsThePreviousEntryUsable) {
    struct Row {
        const char* name;
        bool failMoveAside;           // moving the old entry out of the way fails
        bool leftoverAside;           // a store before was cut off between its two moves
        const char* detailMove;       // which rename the detail names
    };
    const Row rows[] = {
        {"moving the new entry into place fails", false, false, "1.0.partial to 1.0"},
        {"moving the old entry aside fails", true, false, "1.0 to 1.0.old"},
        {"the new entry cannot move in after an interrupted store", false, true, "1.0.partial to 1.0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(assets);
        ASSERT_NE(storedSet(provider.store("1.0", bootFiles(1), archiveDigest)), nullptr);
        if (row.leftoverAside) fs::rename(assets / "1.0", assets / "1.0.old");

        const VentoyAssetProvider failing(cacheRoot.path(), [&](const fs::path& from, const fs::path& to) {
            const bool fail = row.failMoveAside ? to.filename() == "1.0.old" : from.filename() == "1.0.partial";
            if (fail) return EIO;
            return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        });
        const auto result = failing.store("1.0", bootFiles(2), archiveDigest);

        const std::string base = assets.string() + "/";
        const std::string move = row.detailMove;
        const auto split = move.find(" to ");
        const VentoyCacheResult expected{VentoyCacheResult::Failure{
            VentoyCacheReason::io, "failed to cache 1.0: rename " + base + move.substr(0, split) + " to " + base +
                                       move.substr(split + 4) + ": errno 5 (Input/output error)"}};
        EXPECT_EQ(result, expected);
        ASSERT_TRUE(provider.isCached(manifestFor("1.0")));
        EXPECT_TRUE(test::readFile(assets / "1.0" / "core.img") == Bytes(1000, 1)) << "the old entry, whole";
        EXPECT_EQ(namesIn(assets), std::vector<std::string>{"1.0"});
    }
}

TEST_F(VentoyAssetProviderTest, StoresOnlyAVersionThatIsOnePlainDirectoryName) {
    const std::string longest(64, '9');
    for (const std::string& version : {std::string("1.1.17+build_2-rc"), longest}) {
        SCOPED_TRACE(version);
        EXPECT_TRUE(isPlainVersionComponent(version));
        ASSERT_NE(storedSet(provider.store(version, bootFiles(1), archiveDigest)), nullptr);
        EXPECT_TRUE(provider.isCached(manifestFor(version)));
    }
    fs::remove_all(assets);

    // Each one would reach outside the entry's own folder, or is no name at all.
    const std::string refused[] = {"../x", "a/b", ".", "..", "", "/abs", std::string(65, '9'), "1.0 beta",
                                   "v\xC3\xA9", std::string("1\0x", 3), "..\\x"};
    for (const std::string& version : refused) {
        SCOPED_TRACE(version);
        EXPECT_FALSE(isPlainVersionComponent(version));
        const auto result = provider.store(version, bootFiles(1), archiveDigest);
        const auto* failure = std::get_if<VentoyCacheResult::Failure>(&result.value);
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(failure->reason, VentoyCacheReason::io);
        EXPECT_EQ(failure->detail.rfind("failed to cache \"", 0), 0u) << failure->detail;
        EXPECT_NE(failure->detail.find("the version is not a plain directory name"), std::string::npos);
        EXPECT_EQ(namesIn(cacheRoot.path()), std::vector<std::string>{}) << "nothing made, inside or out";
        // A manifest cannot hold an empty version at all.
        if (!version.empty()) {
            EXPECT_FALSE(provider.isCached(manifestFor(version)));
        }
    }
    EXPECT_FALSE(fs::exists("/abs"));

    // cached() keeps the same rule: "./1.0" would lead to a complete entry, but is no plain name.
    ASSERT_NE(storedSet(provider.store("1.0", bootFiles(1), archiveDigest)), nullptr);
    EXPECT_FALSE(provider.isCached(manifestFor("./1.0")));
}

TEST_F(VentoyAssetProviderTest, RefusesAnIncompleteSetAndAnUncreatableStagingWithoutAnEntry) {
    AssetBytes two = bootFiles(1);
    two.erase(VentoyAsset::coreImg);
    const VentoyCacheResult incomplete{VentoyCacheResult::Failure{
        VentoyCacheReason::incompleteAssets, "asset map covers 2/3 assets; all are required before caching"}};
    EXPECT_EQ(provider.store("1.0", two, archiveDigest), incomplete);
    EXPECT_EQ(namesIn(cacheRoot.path()), std::vector<std::string>{});

    // A file where the assets folder belongs: the staging directory cannot be made.
    test::writeFile(assets, {1});
    const VentoyCacheResult blocked{VentoyCacheResult::Failure{
        VentoyCacheReason::io, "failed to cache 1.0: mkdir " + assets.string() + ": errno 17 (File exists)"}};
    EXPECT_EQ(provider.store("1.0", bootFiles(1), archiveDigest), blocked);
}

}  // namespace
}  // namespace marlowick
