#include "Download/VentoyRegistryRefresher.hpp"

#include <gtest/gtest.h>

#include "Assets/RegistrySigning.hpp"
#include "Support/LoopbackHttpsServer.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::Bytes;
using test::LoopbackHttpsServer;
using Outcome = VentoyRegistryRefresher::Outcome;

const char* const documentPath = "/marlowick/data/ventoy.v1.json";

class VentoyRegistryRefresherTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!LoopbackHttpsServer::available()) GTEST_SKIP() << "needs openssl and python3";
        server.emplace();
        client = std::make_shared<const CurlHttpsClient>(server->clientOptions());
    }

    static Bytes sign(const Bytes& payload) { return test::opensslSign(payload, test::registryTestPrivateKey()); }

    void serve(const std::optional<Bytes>& payload, const std::optional<Bytes>& signature) const {
        std::filesystem::remove_all(server->root());
        std::filesystem::create_directories(server->root());
        if (payload) server->serve(std::string(documentPath).substr(1), *payload);
        if (signature) server->serve(std::string(documentPath).substr(1) + ".sig", *signature);
    }

    [[nodiscard]] VentoyRegistryRefresher refresher(const VentoyRegistryCache& cache,
                                                    std::shared_ptr<const CurlHttpsClient> through = nullptr) const {
        return VentoyRegistryRefresher(cache, LoopbackHttpsServer::url(LoopbackHttpsServer::contentHost,
                                                                       std::string("/files") + documentPath),
                                       key, VentoyRegistryRefresher::curlFetch(through ? through : client));
    }

    const std::string key = test::registryTestPublicKeyBase64();
    std::optional<LoopbackHttpsServer> server;
    std::shared_ptr<const CurlHttpsClient> client;
    test::TempDir folder;
};

TEST_F(VentoyRegistryRefresherTest, StoresOnlyAPairThatVerifiesAndParses) {
    MARLOWICK_REQUIRE_TOOL("openssl");
    // A release the parser drops (its base names another host) among two it keeps.
    nlohmann::json foreign = test::soundReleaseRecord("1.1.19");
    foreign["downloadBaseUrl"] = "https://downloads.example.org/ventoy";
    const Bytes threeRecords = test::registryDocument(
        {test::soundReleaseRecord("1.1.18"), foreign, test::soundReleaseRecord("1.1.20")});
    const Bytes emptyObject = test::bytesOf("{}");
    const Bytes notJson = test::bytesOf("<html>maintenance</html>");
    const Bytes previous = test::registryDocument({test::soundReleaseRecord("1.1.17")});

    struct Case {
        const char* name;
        std::optional<Bytes> payload;    // nullopt: not served (404)
        std::optional<Bytes> signature;  // nullopt: not served (404)
        Outcome outcome;
    };
    const Case cases[] = {
        {"oneOfThreeRecordsDropped", threeRecords, sign(threeRecords), Outcome{Outcome::Updated{2}}},
        {"emptyObject", emptyObject, sign(emptyObject), Outcome{Outcome::Updated{0}}},
        {"signatureNotFound", threeRecords, std::nullopt,
         Outcome{Outcome::Skipped{"fetch failed: bad server response (HTTP status 404)"}}},
        {"documentNotFound", std::nullopt, sign(threeRecords),
         Outcome{Outcome::Skipped{"fetch failed: bad server response (HTTP status 404)"}}},
        {"signatureOfAnotherDocument", threeRecords, sign(emptyObject),
         Outcome{Outcome::Skipped{"registry signature mismatch"}}},
        {"signedButNotJson", notJson, sign(notJson), Outcome{Outcome::Skipped{"registry malformed"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const VentoyRegistryCache cache(folder.path() / c.name);
        ASSERT_EQ(cache.store(previous, sign(previous)), std::nullopt);
        serve(c.payload, c.signature);

        EXPECT_EQ(refresher(cache).refresh(), c.outcome);

        const std::optional<VentoyRegistrySignedBytes> stored = cache.signedBytes(key);
        ASSERT_TRUE(stored.has_value());
        if (std::holds_alternative<Outcome::Updated>(c.outcome.value)) {
            EXPECT_EQ(stored->payload, *c.payload);
            EXPECT_EQ(stored->signature, *c.signature);
        } else {
            EXPECT_EQ(stored->payload, previous);
        }
    }
}

TEST_F(VentoyRegistryRefresherTest, TransportAndCacheFailuresAreSkipsWithTheirReason) {
    MARLOWICK_REQUIRE_TOOL("openssl");
    const Bytes document = test::registryDocument({test::soundReleaseRecord("1.1.18")});
    serve(document, sign(document));

    // A server whose certificate this client does not trust: libcurl's own words follow.
    const VentoyRegistryCache untouched(folder.path() / "untouched");
    const Outcome refused =
        refresher(untouched, std::make_shared<const CurlHttpsClient>(server->strangerOptions())).refresh();
    ASSERT_TRUE(std::holds_alternative<Outcome::Skipped>(refused.value));
    const std::string reason = std::get<Outcome::Skipped>(refused.value).reason;
    EXPECT_TRUE(reason.starts_with("fetch failed: ")) << reason;
    EXPECT_NE(reason.find("certificate"), std::string::npos) << reason;
    EXPECT_FALSE(std::filesystem::exists(untouched.directory()));

    test::writeFile(folder.file("plain-file"), {1});
    const VentoyRegistryCache unwritable(folder.path() / "plain-file" / "ventoy-registry");
    const Outcome expected{Outcome::Skipped{"cache write failed"}};
    EXPECT_EQ(refresher(unwritable).refresh(), expected);
}

TEST(VentoyRegistryRefresher, AsksForTheDocumentThenItsSignature) {
    std::vector<std::string> asked;
    const VentoyRegistryRefresher refresher(VentoyRegistryCache("/nonexistent"),
                                            std::string(VentoyRegistryRefresher::registryURL), "key",
                                            [&](const std::string& url) -> Bytes {
                                                asked.push_back(url);
                                                if (asked.size() == 2) throw std::runtime_error("offline");
                                                return {};
                                            });
    const Outcome expected{Outcome::Skipped{"fetch failed: offline"}};
    EXPECT_EQ(refresher.refresh(), expected);
    const std::string document(VentoyRegistryRefresher::registryURL);
    EXPECT_TRUE(document.starts_with("https://"));
    EXPECT_TRUE(document.ends_with("/marlowick/data/ventoy.v1.json"));
    EXPECT_EQ(asked, (std::vector<std::string>{document, document + ".sig"}));
    EXPECT_EQ(render(Outcome{Outcome::Updated{2}}), "updated(releases: 2)");
    EXPECT_EQ(render(expected), "skipped(reason: \"fetch failed: offline\")");
}

}  // namespace
}  // namespace marlowick
