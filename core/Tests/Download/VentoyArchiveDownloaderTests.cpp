#include "Download/VentoyArchiveDownloader.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <variant>

#include "Assets/ReleaseArchive.hpp"
#include "Bytes/Sha256.hpp"
#include "Support/LoopbackHttpsServer.hpp"

namespace marlowick {
namespace {

using test::LoopbackHttpsServer;
using namespace std::chrono_literals;

std::string base(const std::string& path) { return LoopbackHttpsServer::url(LoopbackHttpsServer::archiveHost, path); }

class VentoyArchiveDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!LoopbackHttpsServer::available()) GTEST_SKIP() << "needs openssl and python3";
        if (!test::canMakeReleaseArchive()) GTEST_SKIP() << "needs tar, xz and gzip";
        release = test::ReleaseArchive::make("9.9.9");
        server.emplace();
        server->serve(servedName(""), release.archive);
        client.emplace(server->clientOptions());
    }

    // Downloads from `downloadBase`, collecting the progress reports; the error as text,
    // or nullopt on success.
    std::optional<std::string> download(const std::string& downloadBase, std::vector<double>& reports,
                                        std::chrono::milliseconds idle = 5s,
                                        const VentoyArchiveDownloader::CancelQuery& isCancelled = {}) {
        const VentoyArchiveDownloader downloader(release.manifest(downloadBase), idle);
        try {
            const std::vector<std::uint8_t> bytes =
                downloader.download(*client, [&](double fraction) { reports.push_back(fraction); }, isCancelled);
            EXPECT_EQ(bytes, release.archive);
            return std::nullopt;
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    }

    // Where a download base of "/files/<folder>" finds the archive.
    std::string servedName(const std::string& folder) const {
        return (folder.empty() ? "" : folder + "/") + "v" + release.version + "/" + release.archiveName();
    }

    test::ReleaseArchive release;
    std::optional<LoopbackHttpsServer> server;
    std::optional<CurlHttpsClient> client;
};

// Reports begin near 0, rise by at least 0.01 each time, and end with exactly one 1.0
// after the last rise.
void expectWellFormedProgress(const std::vector<double>& reports) {
    ASSERT_GE(reports.size(), 2U);
    EXPECT_GT(reports.front(), 0.0);
    EXPECT_LT(reports.front(), 0.01);
    for (std::size_t i = 1; i + 1 < reports.size(); ++i) EXPECT_GE(reports[i] - reports[i - 1], 0.01) << i;
    EXPECT_EQ(reports.back(), 1.0);
    EXPECT_LE(reports.size(), 102U);
}

TEST_F(VentoyArchiveDownloaderTest, DownloadsWithProgressWithOrWithoutADeclaredLength) {
    for (const char* path : {"/files", "/nolength"}) {
        SCOPED_TRACE(path);
        std::vector<double> reports;
        EXPECT_EQ(download(base(path), reports), std::nullopt);
        expectWellFormedProgress(reports);
        // About a hundred reports for an archive of this size, one per hundredth.
        EXPECT_GE(reports.size(), 99U);
    }
}

TEST_F(VentoyArchiveDownloaderTest, RefusesWhatTheManifestDoesNotDescribe) {
    const std::int64_t size = static_cast<std::int64_t>(release.archive.size());
    const std::string expected = std::to_string(size);
    struct Case {
        const char* name;
        std::string downloadBase;
        std::string error;
        std::vector<double> reports;
    };
    std::vector<std::uint8_t> changed = release.archive;
    changed[changed.size() / 2] ^= 0x01;
    std::vector<std::uint8_t> longer = release.archive;
    longer.resize(longer.size() + 100'000, 0x42);
    server->serve(servedName("changed"), changed);
    server->serve(servedName("longer"), longer);
    const Case cases[] = {
        {"notFound", base("/status/404"), "httpStatus(404)", {}},
        {"noContent", base("/status/204"), "archiveSizeMismatch(actual: 0, expected: " + expected + ")", {1.0}},
        {"oneByteChanged", base("/files/changed"),
         "archiveHashMismatch(actual: \"" + Sha256::hex(changed) + "\", expected: \"" + Sha256::hex(release.archive) +
             "\")",
         {}},
        {"declaresMoreThanTheManifest", base("/files/longer"),
         "archiveSizeMismatch(actual: " + std::to_string(longer.size()) + ", expected: " + expected + ")", {}},
        {"claimsTerabytes", base("/claims/2000000000000"),
         "archiveSizeMismatch(actual: 2000000000000, expected: " + expected + ")", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> reports;
        EXPECT_EQ(download(c.downloadBase, reports), c.error);
        if (std::string(c.name) == "oneByteChanged") {
            expectWellFormedProgress(reports);
        } else {
            EXPECT_EQ(reports, c.reports);
        }
    }
}

TEST_F(VentoyArchiveDownloaderTest, StopsAtTheManifestSizeWhenNoLengthIsDeclared) {
    std::vector<std::uint8_t> longer = release.archive;
    longer.resize(longer.size() * 3, 0x42);
    server->serve(servedName("longer"), longer);
    std::vector<double> reports;
    const std::optional<std::string> error = download(base("/nolength/longer"), reports);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->starts_with("archiveSizeMismatch(actual: ")) << *error;
    // Stopped within one piece past the cap, long before the end of what the server sends.
    const std::int64_t actual = std::stoll(error->substr(std::string("archiveSizeMismatch(actual: ").size()));
    EXPECT_GT(actual, static_cast<std::int64_t>(release.archive.size()));
    EXPECT_LT(actual, static_cast<std::int64_t>(release.archive.size()) + 1'000'000);
    // The piece that crossed the cap was refused whole, and no final report came.
    ASSERT_FALSE(reports.empty());
    EXPECT_LT(reports.back(), 1.0);
}

TEST_F(VentoyArchiveDownloaderTest, GivesUpOnAStalledServerAndOnCancel) {
    std::vector<double> reports;
    const std::optional<std::string> stalled = download(base("/stall"), reports, 1s);
    ASSERT_TRUE(stalled.has_value());
    EXPECT_EQ(*stalled, "Operation timed out: no data received for 1 s");
    EXPECT_NE(reports.back(), 1.0);

    reports.clear();
    std::atomic<bool> cancelled = false;
    std::optional<std::chrono::steady_clock::time_point> cancelledAt;
    // A hundred pieces half a second apart: fifty seconds unless the cancel ends it.
    const VentoyArchiveDownloader downloader(release.manifest(base("/slow/100/500")), 5s);
    try {
        (void)downloader.download(
            *client,
            [&](double fraction) {
                reports.push_back(fraction);
                if (!cancelledAt) cancelledAt = std::chrono::steady_clock::now();
                cancelled = true;
            },
            [&] { return cancelled.load(); });
        FAIL() << "a cancelled download completed";
    } catch (const HttpsError& e) {
        EXPECT_EQ(e.kind, HttpsError::Kind::cancelled);
    }
    ASSERT_TRUE(cancelledAt.has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - *cancelledAt, 5s);
    EXPECT_EQ(reports.size(), 1U);
}

// The server sends half the archive and then nothing: the download ends with the time-out
// error within a second of the time-out, counted from the first bytes.
TEST_F(VentoyArchiveDownloaderTest, StopsAStalledDownloadWithinASecondOfItsIdleTimeOut) {
    for (const std::chrono::milliseconds idle : {1000ms, 1500ms}) {
        SCOPED_TRACE(idle.count());
        const VentoyArchiveDownloader downloader(release.manifest(base("/stall")), idle);
        std::optional<std::chrono::steady_clock::time_point> firstBytes;
        try {
            (void)downloader.download(*client, [&](double) {
                if (!firstBytes) firstBytes = std::chrono::steady_clock::now();
            });
            FAIL() << "a stalled download completed";
        } catch (const HttpsError& e) {
            EXPECT_EQ(e.kind, HttpsError::Kind::transport);
            EXPECT_NE(std::string(e.what()).find("Operation timed out: no data received for "), std::string::npos)
                << e.what();
        }
        const auto stopped = std::chrono::steady_clock::now();
        ASSERT_TRUE(firstBytes.has_value());
        EXPECT_GE(stopped - *firstBytes, idle);
        EXPECT_LE(stopped - *firstBytes, idle + 1s);
    }
}

TEST_F(VentoyArchiveDownloaderTest, FollowsRedirectsToHttpsOnlyAndTrustsOnlyAVerifiedServer) {
    // The archive's address goes at the end of the query: "…/redirect?to=<base>/v9.9.9/…".
    const std::string onMirror = LoopbackHttpsServer::url(LoopbackHttpsServer::mirrorHost, "/files");
    std::vector<double> reports;
    EXPECT_EQ(download(base("/redirect?to=" + onMirror), reports), std::nullopt);
    expectWellFormedProgress(reports);

    reports.clear();
    const std::string plain = "http://127.0.0.1:" + std::to_string(server->port()) + "/files";
    const std::optional<std::string> toHttp = download(base("/redirect?to=" + plain), reports);
    ASSERT_TRUE(toHttp.has_value());
    EXPECT_NE(toHttp->find("http"), std::string::npos) << *toHttp;
    EXPECT_TRUE(reports.empty());

    client.emplace(server->strangerOptions());
    const std::optional<std::string> untrusted = download(base("/files"), reports);
    ASSERT_TRUE(untrusted.has_value());
    EXPECT_NE(untrusted->find("certificate"), std::string::npos) << *untrusted;
    EXPECT_TRUE(reports.empty());
}

TEST(VentoyArchiveDownloader, JoinsTheAddressAsItStands) {
    const auto manifestWith = [](const std::string& version, const std::string& downloadBase) {
        const VentoyReleaseManifest& pinned = VentoyReleaseManifest::pinned();
        return VentoyReleaseManifest(version, pinned.archiveName(), pinned.archiveSha256(), pinned.archiveSizeBytes(),
                                     pinned.assets(), 1, downloadBase);
    };
    EXPECT_EQ(VentoyArchiveDownloader(VentoyReleaseManifest::pinned()).archiveURL(),
              std::string(VentoyReleaseManifest::defaultDownloadBaseUrl) + "/v1.1.17/ventoy-1.1.17-linux.tar.gz");
    EXPECT_EQ(VentoyArchiveDownloader(manifestWith("1.1.17", "https://mirror.example/dl/")).archiveURLString(),
              "https://mirror.example/dl//v1.1.17/ventoy-1.1.17-linux.tar.gz");
    const VentoyArchiveDownloader spaced(manifestWith("1.1.17 ", "https://mirror.example/dl"));
    try {
        (void)spaced.archiveURL();
        FAIL() << "a version with a space made an address";
    } catch (const VentoyDownloadError& e) {
        const VentoyDownloadError::Case expected =
            VentoyDownloadError::InvalidURL{"https://mirror.example/dl/v1.1.17 /ventoy-1.1.17-linux.tar.gz"};
        EXPECT_EQ(e.value, expected);
    }
    // An invalid address ends the download before any request: no client is even reached.
    const CurlHttpsClient client;
    EXPECT_THROW((void)spaced.download(client), VentoyDownloadError);
}

TEST(VentoyArchiveDownloader, VerifiesSizeBeforeDigest) {
    const VentoyReleaseManifest& pinned = VentoyReleaseManifest::pinned();
    const VentoyArchiveDownloader downloader(pinned);
    const std::vector<std::uint8_t> wrongSize(10, 0);
    try {
        downloader.verify(wrongSize);
        FAIL();
    } catch (const VentoyDownloadError& e) {
        const VentoyDownloadError::Case expected = VentoyDownloadError::ArchiveSizeMismatch{10, pinned.archiveSizeBytes()};
        EXPECT_EQ(e.value, expected);
    }
}

}  // namespace
}  // namespace marlowick
