#include "Download/VentoyAssetAcquirer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <variant>

#include "Assets/ReleaseArchive.hpp"
#include "Support/LoopbackHttpsServer.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using test::LoopbackHttpsServer;
using namespace std::chrono_literals;
using Phase = VentoyAcquisitionPhase;
using Phases = std::vector<Phase>;
using Result = VentoyAcquisitionResult;
using Reason = VentoyAcquisitionReason;

const Phase checkingCache{Phase::CheckingCache{}};
const Phase alreadyCached{Phase::AlreadyCached{}};
const Phase extracting{Phase::Extracting{}};
const Phase caching{Phase::Caching{}};
const Phase ready{Phase::Ready{}};

bool isDownloading(const Phase& phase) { return std::holds_alternative<Phase::Downloading>(phase.value); }

// The phases with the run of downloading reports folded into one downloading(1.0), once
// the reports are checked to rise and end at 1.0.
Phases folded(const Phases& phases) {
    Phases result;
    double last = -1.0;
    for (const Phase& phase : phases) {
        if (const auto* downloading = std::get_if<Phase::Downloading>(&phase.value)) {
            EXPECT_GE(downloading->fraction, last);
            last = downloading->fraction;
            if (!result.empty() && isDownloading(result.back())) continue;
        }
        result.push_back(phase);
    }
    for (Phase& phase : result) {
        if (isDownloading(phase)) phase = Phase{Phase::Downloading{last}};
    }
    return result;
}

const Phases freshSuccess{checkingCache, Phase{Phase::Downloading{1.0}}, extracting, caching, ready};

const Result::Failure* failureOf(const Result& result) { return std::get_if<Result::Failure>(&result.value); }

// A read-only tmpfs mounted on a folder for the lifetime of the object; unmounted by its
// own path.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const fs::path& folder) : point(folder) {
        fs::create_directories(point);
        mounted = test::runCommand("mount -t tmpfs -o ro,size=1m marlowick-test '" + point.string() + "'").exitCode == 0;
    }
    ~ReadOnlyMount() {
        if (mounted) (void)test::runCommand("umount '" + point.string() + "'");
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;
    [[nodiscard]] bool isMounted() const { return mounted; }

private:
    fs::path point;
    bool mounted = false;
};

class VentoyAssetAcquirerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::canMakeReleaseArchive()) GTEST_SKIP() << "needs tar, xz and gzip";
        release = test::ReleaseArchive::make("9.9.9", 7);
    }

    // Starts the loopback server with the archive under /files/.
    void startServer() {
        if (!LoopbackHttpsServer::available()) GTEST_SKIP() << "needs openssl and python3";
        server.emplace();
        server->serve("v" + release.version + "/" + release.archiveName(), release.archive);
    }

    // An acquirer whose archive comes over the loopback server from `path` ("/files").
    VentoyAssetAcquirer downloading(const std::string& path, const fs::path& root) const {
        const VentoyReleaseManifest manifest =
            release.manifest(LoopbackHttpsServer::url(LoopbackHttpsServer::archiveHost, path));
        return VentoyAssetAcquirer(
            manifest, root, VentoyAssetAcquirer::downloaderFetch(manifest, CurlHttpsClient(server->clientOptions()), 5s));
    }

    // An acquirer whose fetch is `fetch`, with the archive's manifest.
    VentoyAssetAcquirer injected(VentoyAssetAcquirer::FetchArchive fetch) const {
        return VentoyAssetAcquirer(release.manifest("https://unused.marlowick.test"), cacheRoot.path(), std::move(fetch));
    }

    static Result run(const VentoyAssetAcquirer& acquirer, Phases& phases,
                      const VentoyAssetAcquirer::CancelQuery& isCancelled = {}) {
        phases.clear();
        return acquirer.acquire([&phases](const Phase& phase) { phases.push_back(phase); }, isCancelled);
    }

    fs::path entry() const { return cacheRoot.path() / "ventoy-assets" / release.version; }

    void expectCachedFilesAreTheRelease() const {
        for (const VentoyAsset asset : allVentoyAssets) {
            EXPECT_EQ(test::readFile(entry() / outputFileName(asset)), release.files.at(asset)) << render(asset);
        }
    }

    test::ReleaseArchive release;
    test::TempDir cacheRoot;
    std::optional<LoopbackHttpsServer> server;
};

TEST_F(VentoyAssetAcquirerTest, DownloadsExtractsAndCachesThenFindsTheCache) {
    startServer();
    const VentoyAssetAcquirer acquirer = downloading("/files", cacheRoot.path());
    Phases phases;
    const Result first = run(acquirer, phases);

    VentoyAssetSet expected{release.version, {}};
    for (const VentoyAsset asset : allVentoyAssets) expected.files[asset] = entry() / outputFileName(asset);
    EXPECT_EQ(first, Result{Result::Acquired{expected}});
    EXPECT_EQ(folded(phases), freshSuccess);
    // The downloader's reports, forwarded one by one: about a hundred.
    EXPECT_GE(std::count_if(phases.begin(), phases.end(), isDownloading), 99);
    expectCachedFilesAreTheRelease();

    const Result second = run(acquirer, phases);
    EXPECT_EQ(second, first);
    EXPECT_EQ(phases, (Phases{checkingCache, alreadyCached}));
}

TEST_F(VentoyAssetAcquirerTest, ADamagedCacheEntryIsDownloadedAgainAndReplaced) {
    startServer();
    const VentoyAssetAcquirer acquirer = downloading("/files", cacheRoot.path());
    Phases phases;
    ASSERT_EQ(failureOf(run(acquirer, phases)), nullptr);

    struct Damage {
        const char* name;
        std::function<void(const fs::path&)> apply;
    };
    const Damage damages[] = {
        // Right size, one bit changed: the size test alone would hand this on forever.
        {"oneBitOfCoreImg",
         [](const fs::path& file) {
             std::vector<std::uint8_t> bytes = test::readFile(file / "core.img");
             bytes[bytes.size() / 3] ^= 0x10;
             test::writeFile(file / "core.img", bytes);
         }},
        {"lastByteOfVentoyDiskImg",
         [](const fs::path& file) {
             std::vector<std::uint8_t> bytes = test::readFile(file / "ventoy.disk.img");
             bytes.back() ^= 0xFF;
             test::writeFile(file / "ventoy.disk.img", bytes);
         }},
        {"coreImgDeleted", [](const fs::path& file) { fs::remove(file / "core.img"); }},
        {"markerMissing", [](const fs::path& file) { fs::remove(file / ".complete"); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        damage.apply(entry());
        EXPECT_EQ(acquirer.verifiedCached(), std::nullopt);
        const Result again = run(acquirer, phases);
        EXPECT_EQ(failureOf(again), nullptr);
        EXPECT_EQ(folded(phases), freshSuccess);
        expectCachedFilesAreTheRelease();
        EXPECT_TRUE(fs::exists(entry() / ".complete"));
        EXPECT_FALSE(fs::exists(entry().string() + ".partial"));
        EXPECT_NE(acquirer.verifiedCached(), std::nullopt);
    }
}

TEST_F(VentoyAssetAcquirerTest, ACancelEndsTheDownloadAtOnceAndCachesNothing) {
    startServer();
    // A hundred pieces half a second apart: fifty seconds unless the cancel ends it.
    const VentoyAssetAcquirer acquirer = downloading("/slow/100/500", cacheRoot.path());
    std::atomic<bool> cancelled = false;
    std::optional<std::chrono::steady_clock::time_point> cancelledAt;
    Phases phases;
    const Result result = acquirer.acquire(
        [&](const Phase& phase) {
            phases.push_back(phase);
            if (isDownloading(phase) && !cancelledAt) {
                cancelledAt = std::chrono::steady_clock::now();
                cancelled = true;
            }
        },
        [&cancelled] { return cancelled.load(); });

    ASSERT_TRUE(cancelledAt.has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - *cancelledAt, 2s);
    EXPECT_EQ(result, (Result{Result::Failure{Reason{Reason::Download{}}, "cancelled"}}));
    ASSERT_EQ(phases.size(), 2U);
    EXPECT_EQ(phases.front(), checkingCache);
    EXPECT_FALSE(fs::exists(cacheRoot.path() / "ventoy-assets"));
}

TEST_F(VentoyAssetAcquirerTest, FetchFailuresAreDownloadFailuresWithTheirText) {
    startServer();
    struct Case {
        const char* name;
        std::string path;
        std::string detail;
    };
    const Case cases[] = {
        {"notFound", "/status/404", "httpStatus(404)"},
        {"noContent", "/status/204",
         "archiveSizeMismatch(actual: 0, expected: " + std::to_string(release.archive.size()) + ")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Phases phases;
        const Result result = run(downloading(c.path, cacheRoot.path()), phases);
        EXPECT_EQ(result, (Result{Result::Failure{Reason{Reason::Download{}}, c.detail}}));
        EXPECT_EQ(phases.front(), checkingCache);
        EXPECT_TRUE(std::all_of(phases.begin() + 1, phases.end(), isDownloading));
    }
    EXPECT_FALSE(fs::exists(cacheRoot.path() / "ventoy-assets"));
}

TEST_F(VentoyAssetAcquirerTest, ACacheRootThatCannotBeWrittenIsACacheFailure) {
    startServer();
    struct Case {
        const char* name;
        fs::path root;
    };
    std::vector<Case> cases{{"aFileInItsPlace", cacheRoot.file("file")}};
    test::writeFile(cacheRoot.file("file"), {1});
    // Root writes through permission bits; only a read-only volume stops it.
    std::optional<ReadOnlyMount> readOnly;
    if (test::isRoot()) {
        readOnly.emplace(cacheRoot.file("read-only"));
        if (readOnly->isMounted()) cases.push_back({"aReadOnlyVolume", cacheRoot.file("read-only")});
    } else {
        fs::create_directories(cacheRoot.file("no-write"));
        fs::permissions(cacheRoot.file("no-write"), fs::perms::owner_read | fs::perms::owner_exec);
        cases.push_back({"aFolderWithoutWritePermission", cacheRoot.file("no-write")});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Phases phases;
        const Result result = run(downloading("/files", c.root), phases);
        const Result::Failure* failed = failureOf(result);
        ASSERT_NE(failed, nullptr);
        EXPECT_EQ(failed->reason, Reason{Reason::Cache{VentoyCacheReason::io}});
        EXPECT_TRUE(failed->detail.starts_with("failed to cache 9.9.9: ")) << failed->detail;
        EXPECT_EQ(folded(phases), (Phases{checkingCache, Phase{Phase::Downloading{1.0}}, extracting, caching}));
    }
}

TEST_F(VentoyAssetAcquirerTest, AnInjectedFetchIsFollowedAsItReports) {
    Phases phases;
    const Result thrown = run(injected([](const auto&, const auto&) -> std::vector<std::uint8_t> {
                                  throw std::runtime_error("no route to host");
                              }),
                              phases);
    EXPECT_EQ(thrown, (Result{Result::Failure{Reason{Reason::Download{}}, "no route to host"}}));
    EXPECT_EQ(phases, Phases{checkingCache});

    // Reports are passed on unchanged and unthrottled, and the cancel query reaches the fetch.
    bool sawCancelQuery = false;
    const Result twice = run(injected([&](const auto& onProgress, const auto& isCancelled) {
                                 sawCancelQuery = isCancelled && !isCancelled();
                                 onProgress(0.5);
                                 onProgress(0.5);
                                 return release.archive;
                             }),
                             phases, [] { return false; });
    EXPECT_EQ(failureOf(twice), nullptr);
    EXPECT_TRUE(sawCancelQuery);
    EXPECT_EQ(phases, (Phases{checkingCache, Phase{Phase::Downloading{0.5}}, Phase{Phase::Downloading{0.5}},
                              extracting, caching, ready}));

    fs::remove_all(cacheRoot.path() / "ventoy-assets");
    const Result notGzip = run(injected([](const auto&, const auto&) { return std::vector<std::uint8_t>(64, 'x'); }),
                               phases);
    const Result::Failure* failed = failureOf(notGzip);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->reason, Reason{Reason::Extraction{VentoyExtractionReason::malformed}});
    EXPECT_TRUE(failed->detail.starts_with("Failed to gunzip archive: ")) << failed->detail;
    EXPECT_EQ(phases, (Phases{checkingCache, extracting}));
    EXPECT_FALSE(fs::exists(cacheRoot.path() / "ventoy-assets"));
}

TEST(VentoyAssetAcquirer, TheDefaultFetchIsTheDownloader) {
    // An address that does not parse fails before any request, so no network is reached.
    const VentoyReleaseManifest& pinned = VentoyReleaseManifest::pinned();
    const VentoyReleaseManifest spaced("1.1.17 ", pinned.archiveName(), pinned.archiveSha256(),
                                       pinned.archiveSizeBytes(), pinned.assets(), 1, "https://mirror.example/dl");
    const test::TempDir root;
    Phases phases;
    const Result result = VentoyAssetAcquirer(spaced, root.path())
                              .acquire([&phases](const Phase& phase) { phases.push_back(phase); });
    const Result expected{Result::Failure{
        Reason{Reason::Download{}}, "invalidURL(\"https://mirror.example/dl/v1.1.17 /ventoy-1.1.17-linux.tar.gz\")"}};
    EXPECT_EQ(result, expected);
    EXPECT_EQ(phases, Phases{checkingCache});
}

TEST(VentoyAcquisition, RendersPhasesAndReasons) {
    EXPECT_EQ(render(Phase{Phase::Downloading{0.25}}), "downloading(fraction: 0.25)");
    EXPECT_EQ(render(checkingCache), "checkingCache");
    EXPECT_EQ(render(Reason{Reason::Extraction{VentoyExtractionReason::hashMismatch}}), "extraction(hashMismatch)");
    EXPECT_EQ(render(Reason{Reason::Cache{VentoyCacheReason::io}}), "cache(io)");
    EXPECT_EQ(render(Reason{Reason::Download{}}), "download");
}

}  // namespace
}  // namespace marlowick
