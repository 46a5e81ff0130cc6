#include "AppUpdater.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include "Support/LoopbackHttpsServer.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Settings = std::map<std::string, std::string>;

struct ConfigurationCase {
    const char* name;
    Settings settings;
    bool configured;
    std::optional<std::string> reason;
};

TEST(UpdaterConfiguration, KeepsOnlyAnHttpsFeedAndARealKey) {
    const std::string feed = "https://updates.example.test/marlowick/feed.json";
    const std::optional<std::string> noReason;
    const ConfigurationCase cases[] = {
        {"nothing set", {}, false, "no update feed and no update public key in the build settings"},
        {"both usable", {{"MARLOWICK_UPDATE_FEED_URL", feed}, {"MARLOWICK_UPDATE_PUBLIC_KEY", "QUJD"}}, true, noReason},
        {"trimmed", {{"MARLOWICK_UPDATE_FEED_URL", "  " + feed + "\n"}, {"MARLOWICK_UPDATE_PUBLIC_KEY", " QUJD\t"}},
         true, noReason},
        {"capital scheme", {{"MARLOWICK_UPDATE_FEED_URL", "HTTPS://updates.example.test/f.json"},
                            {"MARLOWICK_UPDATE_PUBLIC_KEY", "QUJD"}}, true, noReason},
        {"plain http", {{"MARLOWICK_UPDATE_FEED_URL", "http://updates.example.test/f.json"},
                        {"MARLOWICK_UPDATE_PUBLIC_KEY", "QUJD"}},
         false, "no usable update feed (an https address) in the build settings"},
        {"not an address", {{"MARLOWICK_UPDATE_FEED_URL", "https://"}, {"MARLOWICK_UPDATE_PUBLIC_KEY", "QUJD"}}, false,
         "no usable update feed (an https address) in the build settings"},
        {"placeholder key", {{"MARLOWICK_UPDATE_FEED_URL", feed},
                             {"MARLOWICK_UPDATE_PUBLIC_KEY", " REPLACE_WITH_UPDATE_PUBLIC_KEY \n"}},
         false, "no usable update public key in the build settings (still the placeholder?)"},
        {"blank key", {{"MARLOWICK_UPDATE_FEED_URL", feed}, {"MARLOWICK_UPDATE_PUBLIC_KEY", " \n "}}, false,
         "no usable update public key in the build settings (still the placeholder?)"},
    };
    for (const ConfigurationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const UpdaterConfiguration configuration = UpdaterConfiguration::from(c.settings);
        EXPECT_EQ(configuration.isConfigured(), c.configured);
        EXPECT_EQ(configuration.unavailableReason(), c.reason);
    }
    EXPECT_EQ(UpdaterConfiguration::from({{"MARLOWICK_UPDATE_FEED_URL", " " + feed + " "}}).feedURL, feed);
}

TEST(AppUpdater, AnUnconfiguredBuildNeverChecks) {
    int fetches = 0;
    AppUpdater updater(UpdaterConfiguration{}, [&fetches](const std::string&) {
        ++fetches;
        return std::vector<std::uint8_t>{};
    });
    EXPECT_FALSE(updater.canCheckForUpdates());
    updater.checkForUpdates();
    QCoreApplication::processEvents();
    EXPECT_EQ(fetches, 0);
    EXPECT_EQ(updater.resultWindow(), nullptr);
    // The default build sets neither.
    EXPECT_FALSE(UpdaterConfiguration::ofThisBuild().isConfigured());
}

// A feed served over loopback HTTPS, signed with the tests' registry key.
struct SignedFeed : ::testing::Test {
    void SetUp() override {
        if (!test::LoopbackHttpsServer::available()) GTEST_SKIP() << "needs openssl and python3";
        server = std::make_unique<test::LoopbackHttpsServer>();
    }

    void publish(const std::string& document, bool signedWell = true) {
        const std::vector<std::uint8_t> bytes(document.begin(), document.end());
        server->serve("feed/marlowick.json", bytes);
        const std::filesystem::path file = folder.path() / "feed.json";
        test::writeFile(file, signedWell ? bytes : std::vector<std::uint8_t>{'x'});
        const std::filesystem::path signature = folder.path() / "feed.sig";
        const test::CommandOutput run = test::runCommand("openssl dgst -sha256 -sign '" + keyFolder() +
                                                         "/registry-test-key.pem' -out '" + signature.string() + "' '" +
                                                         file.string() + "'");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        server->serve("feed/marlowick.json.sig", test::readFile(signature));
    }

    [[nodiscard]] UpdaterConfiguration configuration() const {
        return UpdaterConfiguration::from(
            {{"MARLOWICK_UPDATE_FEED_URL", feedURL()},
             {"MARLOWICK_UPDATE_PUBLIC_KEY",
              keyText()}});
    }
    static std::string keyFolder() { return std::string(MARLOWICK_TEST_SOURCE_DIR) + "/Assets/Fixtures"; }
    static std::string keyText() {
        const std::vector<std::uint8_t> bytes = test::readFile(keyFolder() + "/registry-test-key.pub.b64");
        return {bytes.begin(), bytes.end()};
    }
    [[nodiscard]] std::string feedURL() const {
        return test::LoopbackHttpsServer::url(test::LoopbackHttpsServer::contentHost, "/files/feed/marlowick.json");
    }
    [[nodiscard]] VentoyRegistryRefresher::Fetch fetch() const {
        return VentoyRegistryRefresher::curlFetch(std::make_shared<CurlHttpsClient>(server->clientOptions()));
    }

    test::TempDir folder;
    std::unique_ptr<test::LoopbackHttpsServer> server;
};

TEST_F(SignedFeed, TellsOfANewerVersionOnlyWhenTheSignatureAndTheFeedHold) {
    const UpdaterConfiguration settings = configuration();
    ASSERT_TRUE(settings.isConfigured());
    const auto check = [&](const std::string& current) {
        return UpdateFeed::check(*settings.feedURL, *settings.publicKey, current, fetch());
    };

    publish(R"({"version": "0.4.0", "downloadPage": "https://marlowick.quenmoorlabworks.com/download"})");
    const UpdateCheckResult newer{
        UpdateCheckResult::NewerVersion{"0.4.0", "https://marlowick.quenmoorlabworks.com/download"}};
    EXPECT_EQ(check("0.3.0"), newer);
    EXPECT_EQ(check("0.4.0"), UpdateCheckResult{UpdateCheckResult::UpToDate{}});
    EXPECT_EQ(check("0.10.0"), UpdateCheckResult{UpdateCheckResult::UpToDate{}});

    const std::pair<const char*, std::string> refused[] = {
        {"a signature of other bytes", ""},
        {"a page that is not https", R"({"version": "0.4.0", "downloadPage": "http://example.test/d"})"},
        {"no version", R"({"downloadPage": "https://example.test/d"})"},
        {"not JSON", "version 0.4.0"},
    };
    for (const auto& [why, document] : refused) {
        SCOPED_TRACE(why);
        if (document.empty()) {
            publish(R"({"version": "9.9.9", "downloadPage": "https://example.test/d"})", false);
        } else {
            publish(document);
        }
        EXPECT_TRUE(std::holds_alternative<UpdateCheckResult::Failed>(check("0.3.0").value));
    }

    const UpdateCheckResult missing =
        UpdateFeed::check(test::LoopbackHttpsServer::url(test::LoopbackHttpsServer::contentHost, "/files/none.json"),
                          *settings.publicKey, "0.3.0", fetch());
    ASSERT_TRUE(std::holds_alternative<UpdateCheckResult::Failed>(missing.value));
    EXPECT_NE(std::get<UpdateCheckResult::Failed>(missing.value).detail.find("could not fetch"), std::string::npos);
}

TEST_F(SignedFeed, ACheckDisablesTheItemUntilItsAnswerIsShown) {
    publish(R"({"version": "0.4.0", "downloadPage": "https://marlowick.quenmoorlabworks.com/download"})");
    AppUpdater updater(configuration(), fetch(), "0.3.0");
    ASSERT_TRUE(updater.canCheckForUpdates());
    QSignalSpy changes(&updater, &AppUpdater::canCheckForUpdatesChanged);
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates());
    updater.checkForUpdates();  // ignored while one runs
    ASSERT_TRUE(QTest::qWaitFor([&updater] { return updater.canCheckForUpdates(); }, 20'000));
    EXPECT_EQ(changes.size(), 2);  // off while checking, on again
    QMessageBox* shown = updater.resultWindow();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->objectName(), QStringLiteral("app.updateResult"));
    EXPECT_EQ(shown->text(), QStringLiteral("Marlowick 0.4.0 is available."));
    EXPECT_TRUE(shown->informativeText().contains(QStringLiteral("You have version 0.3.0")));
    EXPECT_NE(shown->findChild<QAbstractButton*>(QStringLiteral("app.updateResult.openPage")), nullptr);
    shown->close();
}

}  // namespace
}  // namespace marlowick
