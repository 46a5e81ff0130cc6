#include "Home/VentoyCatalogModel.hpp"

#include <gtest/gtest.h>

#include <atomic>

#include "Assets/RegistrySigning.hpp"
#include "Diagnostics/LogSinks.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Support/LoopbackHttpsServer.hpp"
#include "Support/ManualExecutor.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::Bytes;
using Property = VentoyCatalogModel::Property;

// A registry whose one release, 1.1.18, is enabled, current and visible for build 3 on.
nlohmann::json release118() { return test::soundReleaseRecord("1.1.18"); }

class VentoyCatalogModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("openssl");
        MarlowickLog::setSink(log);
    }
    void TearDown() override { MarlowickLog::setSink(nullptr); }

    static Bytes sign(const Bytes& payload) { return test::opensslSign(payload, test::registryTestPrivateKey()); }

    [[nodiscard]] VentoyRegistryCache cache() const { return VentoyRegistryCache(folder.path() / "ventoy-registry"); }

    // A model over the test cache and key; its fetch serves `served` and counts calls.
    [[nodiscard]] VentoyCatalogModel::Options options(bool registryEnabled = true) {
        return VentoyCatalogModel::Options{
            .cache = cache(),
            .buildNumber = "42",
            .registryEnabled = registryEnabled,
            .publicKeyBase64 = key,
            .registryUrl = "https://content.marlowick.test/marlowick/data/ventoy.v1.json",
            .fetch =
                [this](const std::string& url) {
                    ++fetches;
                    const VentoyRegistrySignedBytes pair = *served;
                    return url.ends_with(".sig") ? pair.signature : pair.payload;
                },
        };
    }

    void serve(const Bytes& payload) { served = VentoyRegistrySignedBytes{payload, sign(payload)}; }

    // Runs a refresh to its end on the main executor.
    void refresh(VentoyCatalogModel& model) {
        bool done = false;
        model.refresh([&] { done = true; });
        ASSERT_TRUE(manual.runUntil([&] { return done; }));
    }

    [[nodiscard]] std::vector<std::string> logged() const {
        std::vector<std::string> messages;
        for (const MarlowickLog::Record& record : log->records()) messages.push_back(record.message);
        return messages;
    }

    static std::vector<std::string> versions(const std::vector<VentoyReleaseManifest>& manifests) {
        std::vector<std::string> list;
        for (const VentoyReleaseManifest& manifest : manifests) list.push_back(manifest.version());
        return list;
    }

    const std::string key = test::registryTestPublicKeyBase64();
    const std::shared_ptr<MarlowickLog::MemorySink> log = std::make_shared<MarlowickLog::MemorySink>();
    test::TempDir folder;
    testing::ManualExecutor manual;
    std::optional<VentoyRegistrySignedBytes> served;
    std::atomic<int> fetches = 0;
};

TEST_F(VentoyCatalogModelTest, StartsWithTheCachedRegistryAndHandsItsBytesToTheHelper) {
    const Bytes document = test::registryDocument({release118()});
    ASSERT_EQ(cache().store(document, sign(document)), std::nullopt);

    VentoyCatalogModel model(manual.executor(), options());
    EXPECT_TRUE(model.catalog()->usesRegistry());
    EXPECT_EQ(model.catalog()->appVersion(), 42);
    EXPECT_EQ(model.recommended().version(), "1.1.18");
    EXPECT_EQ(versions(model.available()),
              (std::vector<std::string>{"1.1.18", "1.1.17", "1.1.16", "1.1.15", "1.1.14"}));

    const std::optional<HelperSignedRegistry> signedRegistry = model.signedRegistry();
    ASSERT_TRUE(signedRegistry.has_value());
    EXPECT_EQ(signedRegistry->payload, document);
    // The helper program trusts 1.1.18 through exactly these bytes.
    const HelperAssetRefSet assets("1.1.18", "/b", "/c", "/v", signedRegistry);
    const std::optional<VentoyReleaseManifest> trusted =
        assets.trustedManifest(VentoyReleaseManifest::available(), key);
    ASSERT_TRUE(trusted.has_value());
    EXPECT_EQ(*trusted, model.recommended());

    // A cache damaged since start-up hands the helper nothing.
    test::writeFile(cache().directory() / "ventoy.v1.json.sig", sign(test::bytesOf("{}")));
    EXPECT_EQ(model.signedRegistry(), std::nullopt);
}

TEST_F(VentoyCatalogModelTest, WithTheRegistrySwitchedOffOnlyTheBuiltInReleasesCount) {
    const Bytes document = test::registryDocument({release118()});
    ASSERT_EQ(cache().store(document, sign(document)), std::nullopt);
    serve(document);

    VentoyCatalogModel model(manual.executor(), options(false));
    EXPECT_FALSE(model.catalog()->usesRegistry());
    EXPECT_EQ(model.recommended(), VentoyReleaseManifest::pinned());
    EXPECT_EQ(model.signedRegistry(), std::nullopt);
    refresh(model);
    EXPECT_EQ(fetches, 0);
    EXPECT_TRUE(logged().empty());
    EXPECT_FALSE(model.catalog()->usesRegistry());
}

TEST_F(VentoyCatalogModelTest, ARefreshPublishesOnlyWhatChanged) {
    VentoyCatalogModel model(manual.executor(), options());
    std::vector<Property> told;
    (void)model.observers().subscribe([&](Property property) { told.push_back(property); });
    EXPECT_EQ(model.recommended().version(), "1.1.17");

    serve(test::bytesOf("not json"));
    refresh(model);
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(model.recommended().version(), "1.1.17");

    const Bytes document = test::registryDocument({release118()});
    serve(document);
    refresh(model);
    EXPECT_EQ(told, (std::vector<Property>{Property::recommended, Property::available}));
    EXPECT_EQ(model.recommended().version(), "1.1.18");
    EXPECT_EQ(model.signedRegistry(), served);

    // The same registry again: equal values are stored without telling anyone.
    told.clear();
    refresh(model);
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(logged(), (std::vector<std::string>{"ventoy registry refresh: skipped(reason: \"registry malformed\")",
                                                  "ventoy registry refresh: updated(releases: 1)",
                                                  "ventoy registry refresh: updated(releases: 1)"}));
}

TEST_F(VentoyCatalogModelTest, AnUpdateReadsTheCacheBackAndTrustsOnlyWhatVerifiesThen) {
    const Bytes document = test::registryDocument({release118()});
    ASSERT_EQ(cache().store(document, sign(document)), std::nullopt);
    VentoyCatalogModel model(manual.executor(), options());
    ASSERT_EQ(model.recommended().version(), "1.1.18");
    serve(document);

    bool done = false;
    model.refresh([&] { done = true; });
    // The refresh has stored its pair; before the model reads it back, the cache changes.
    ASSERT_TRUE(manual.runUntil([&] { return manual.pending() > 0; }));
    test::writeFile(cache().directory() / "ventoy.v1.json.sig", sign(test::bytesOf("{}")));
    manual.runAll();
    ASSERT_TRUE(done);
    EXPECT_FALSE(model.catalog()->usesRegistry());
    EXPECT_EQ(model.recommended().version(), "1.1.17");
    EXPECT_EQ(versions(model.available()), (std::vector<std::string>{"1.1.17", "1.1.16", "1.1.15", "1.1.14"}));
}

TEST_F(VentoyCatalogModelTest, ARefreshThatOutlivesTheModelIsDropped) {
    serve(test::registryDocument({release118()}));
    bool done = false;
    {
        VentoyCatalogModel model(manual.executor(), options());
        model.refresh([&] { done = true; });
        ASSERT_TRUE(manual.runUntil([&] { return manual.pending() > 0; }));
    }
    manual.runAll();
    EXPECT_FALSE(done);
    EXPECT_TRUE(logged().empty());
}

TEST_F(VentoyCatalogModelTest, RefreshesOverHttpsIntoTheCacheUnderTheCacheRoot) {
    if (!test::LoopbackHttpsServer::available()) GTEST_SKIP() << "needs openssl and python3";
    const test::LoopbackHttpsServer server;
    const Bytes document = test::registryDocument({release118()});
    server.serve("marlowick/data/ventoy.v1.json", document);
    server.serve("marlowick/data/ventoy.v1.json.sig", sign(document));

    VentoyCatalogModel::Options standard = VentoyCatalogModel::standardOptions(folder.path(), "7");
    EXPECT_EQ(standard.cache.directory(), folder.path() / "ventoy-registry");
    standard.publicKeyBase64 = key;
    standard.registryUrl =
        test::LoopbackHttpsServer::url(test::LoopbackHttpsServer::contentHost, "/files/marlowick/data/ventoy.v1.json");
    standard.fetch = VentoyRegistryRefresher::curlFetch(std::make_shared<const CurlHttpsClient>(server.clientOptions()));
    VentoyCatalogModel model(manual.executor(), standard);
    refresh(model);
    EXPECT_EQ(model.recommended().version(), "1.1.18");
    EXPECT_EQ(test::readFile(folder.path() / "ventoy-registry" / "ventoy.v1.json"), document);
}

TEST(VentoyCatalogModel, ReadsTheBuildNumberAsABase10Integer) {
    struct Case {
        std::optional<std::string> text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"42", 42}, {"+42", 42}, {"-3", -3}, {"1.2.3", 1}, {"", 1}, {std::nullopt, 1},
        {"42 ", 1}, {"+-4", 1},  {"+", 1},   {"0x10", 1},  {"9223372036854775807", 9223372036854775807},
        {"9223372036854775808", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.value_or("<none>"));
        EXPECT_EQ(VentoyCatalogModel::applicationVersion(c.text), c.expected);
    }
}

}  // namespace
}  // namespace marlowick
