#include "Download/CurlHttpsClient.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "Assets/RegistrySigning.hpp"
#include "Support/LoopbackHttpsServer.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::LoopbackHttpsServer;
using namespace std::chrono_literals;

const std::vector<std::uint8_t> payload = test::bytesOf("registry bytes\n");

class CurlHttpsClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!LoopbackHttpsServer::available()) GTEST_SKIP() << "needs openssl and python3";
        server.emplace();
        server->serve("payload", payload);
    }

    static std::string at(const char* host, const std::string& path) { return LoopbackHttpsServer::url(host, path); }
    // A redirect from the archive host to `target`.
    static std::string redirectTo(const std::string& target) {
        std::string escaped;
        for (const char c : target) {
            if (c == ':' || c == '/' || c == '?' || c == '=' || c == '&' || c == '%') {
                static const char hex[] = "0123456789ABCDEF";
                escaped += '%';
                escaped += hex[static_cast<unsigned char>(c) >> 4];
                escaped += hex[static_cast<unsigned char>(c) & 0xF];
            } else {
                escaped += c;
            }
        }
        return at(LoopbackHttpsServer::archiveHost, "/redirect?to=" + escaped);
    }

    std::optional<LoopbackHttpsServer> server;
};

// A fetch that is refused, with the kind of error and a piece of libcurl's own text.
struct RefusalCase {
    const char* name;
    std::string url;
    bool strangerCa;
    HttpsError::Kind kind;
    const char* textPart;
};

TEST_F(CurlHttpsClientTest, FetchesAndFollowsHttpsRedirects) {
    const CurlHttpsClient client(server->clientOptions());
    EXPECT_EQ(client.fetch(at(LoopbackHttpsServer::archiveHost, "/files/payload"), 5s, 1024), payload);
    const std::string onMirror = at(LoopbackHttpsServer::mirrorHost, "/files/payload");
    EXPECT_EQ(client.fetch(redirectTo(onMirror), 5s, 1024), payload);
    // Five redirects in a row are followed.
    std::string chain = onMirror;
    for (int i = 0; i < 5; ++i) chain = redirectTo(chain);
    EXPECT_EQ(client.fetch(chain, 5s, 1024), payload);
    // 204 is a success with an empty body.
    EXPECT_TRUE(client.fetch(at(LoopbackHttpsServer::archiveHost, "/status/204"), 5s, 1024).empty());
}

TEST_F(CurlHttpsClientTest, RefusesWhatIsNotVerifiedHttps) {
    std::string sixRedirects = at(LoopbackHttpsServer::mirrorHost, "/files/payload");
    for (int i = 0; i < 6; ++i) sixRedirects = redirectTo(sixRedirects);
    const std::string port = std::to_string(server->port());
    const RefusalCase cases[] = {
        {"redirectToPlainHttp", redirectTo("http://127.0.0.1:" + port + "/files/payload"), false,
         HttpsError::Kind::transport, "http"},
        {"plainHttpFirst", "http://127.0.0.1:" + port + "/files/payload", false, HttpsError::Kind::transport, "http"},
        {"sixRedirects", sixRedirects, false, HttpsError::Kind::transport, "redirect"},
        {"untrustedCertificate", at(LoopbackHttpsServer::archiveHost, "/files/payload"), true,
         HttpsError::Kind::transport, "certificate"},
        {"hostNotNamedByCertificate", at(LoopbackHttpsServer::unnamedHost, "/files/payload"), false,
         HttpsError::Kind::transport, "unnamed.marlowick.test"},
        {"notFound", at(LoopbackHttpsServer::archiveHost, "/files/missing"), false,
         HttpsError::Kind::badServerResponse, "bad server response (HTTP status 404)"},
        {"serverError", at(LoopbackHttpsServer::archiveHost, "/status/500"), false,
         HttpsError::Kind::badServerResponse, "(HTTP status 500)"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CurlHttpsClient client(c.strangerCa ? server->strangerOptions() : server->clientOptions());
        try {
            (void)client.fetch(c.url, 5s, 1024);
            ADD_FAILURE() << "fetched " << c.url;
        } catch (const HttpsError& e) {
            EXPECT_EQ(e.kind, c.kind) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.textPart), std::string::npos) << e.what();
        }
    }
}

TEST_F(CurlHttpsClientTest, TheSystemTrustStoreRefusesTheTestCertificate) {
    CurlHttpsClient::Options options = server->clientOptions();
    options.caFile.reset();
    const CurlHttpsClient client(options);
    EXPECT_THROW((void)client.fetch(at(LoopbackHttpsServer::archiveHost, "/files/payload"), 5s, 1024), HttpsError);
}

TEST_F(CurlHttpsClientTest, IdleTimeOutEndsAStalledTransferButNotASlowOne) {
    const CurlHttpsClient client(server->clientOptions());
    const std::vector<std::uint8_t> body(40'000, 0x5A);
    server->serve("body", body);
    // Twenty pieces 200 ms apart: four seconds in all, never a second without a byte.
    EXPECT_EQ(client.fetch(at(LoopbackHttpsServer::archiveHost, "/slow/20/200/body"), 1s, 1'000'000), body);
    try {
        (void)client.fetch(at(LoopbackHttpsServer::archiveHost, "/stall/body"), 1s, 1'000'000);
        ADD_FAILURE() << "a stalled transfer completed";
    } catch (const HttpsError& e) {
        EXPECT_EQ(e.kind, HttpsError::Kind::transport);
        EXPECT_STREQ(e.what(), "Operation timed out: no data received for 1 s");
    }
}

// The idle clock starts again at every byte, and the transfer ends with the time-out error
// no later than a second after the last byte plus the time-out.
TEST_F(CurlHttpsClientTest, AStalledTransferEndsWithinASecondOfItsIdleTimeOut) {
    const CurlHttpsClient client(server->clientOptions());
    server->serve("body", std::vector<std::uint8_t>(40'000, 0x5A));
    const struct {
        std::chrono::milliseconds idle;
        const char* error;
    } cases[] = {
        {1000ms, "Operation timed out: no data received for 1 s"},
        {1500ms, "Operation timed out: no data received for 1500 ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        std::optional<std::chrono::steady_clock::time_point> lastByte;
        const HttpsReceiver receiver{
            .onHead = {},
            .onBody = [&](std::span<const std::uint8_t>) { lastByte = std::chrono::steady_clock::now(); },
            .isCancelled = {},
        };
        const HttpsRequest request{
            .url = at(LoopbackHttpsServer::archiveHost, "/stall/body"), .headers = {}, .idleTimeout = c.idle};
        try {
            (void)client.get(request, receiver);
            ADD_FAILURE() << "a stalled transfer completed";
        } catch (const HttpsError& e) {
            EXPECT_EQ(e.kind, HttpsError::Kind::transport);
            EXPECT_STREQ(e.what(), c.error);
        }
        const auto stopped = std::chrono::steady_clock::now();
        ASSERT_TRUE(lastByte.has_value());
        EXPECT_GE(stopped - *lastByte, c.idle);
        EXPECT_LE(stopped - *lastByte, c.idle + 1s);
    }
}

TEST_F(CurlHttpsClientTest, CapsTheBodyAndStopsOnCancel) {
    const CurlHttpsClient client(server->clientOptions());
    server->serve("body", std::vector<std::uint8_t>(4096, 1));
    for (const char* path : {"/files/body", "/nolength/body"}) {
        SCOPED_TRACE(path);
        try {
            (void)client.fetch(at(LoopbackHttpsServer::archiveHost, path), 5s, 4095);
            ADD_FAILURE() << "fetched more than the cap";
        } catch (const HttpsError& e) {
            EXPECT_EQ(e.kind, HttpsError::Kind::tooLarge);
            EXPECT_STREQ(e.what(), "response larger than 4095 bytes");
        }
    }
    EXPECT_EQ(client.fetch(at(LoopbackHttpsServer::archiveHost, "/nolength/body"), 5s, 4096).size(), 4096U);

    const auto started = std::chrono::steady_clock::now();
    try {
        // The server would take twenty seconds; the cancel query is asked on the way.
        (void)client.fetch(at(LoopbackHttpsServer::archiveHost, "/slow/100/200/body"), 5s, 1'000'000,
                           [&] { return std::chrono::steady_clock::now() - started > 500ms; });
        ADD_FAILURE() << "a cancelled transfer completed";
    } catch (const HttpsError& e) {
        EXPECT_EQ(e.kind, HttpsError::Kind::cancelled);
        EXPECT_STREQ(e.what(), "cancelled");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST_F(CurlHttpsClientTest, AReceiversExceptionEndsTheTransferAndComesBack) {
    const CurlHttpsClient client(server->clientOptions());
    int bodyCalls = 0;
    const HttpsReceiver receiver{
        .onHead = [](const HttpsResponseHead& head) { throw std::runtime_error("head " + std::to_string(head.status)); },
        .onBody = [&](std::span<const std::uint8_t>) { ++bodyCalls; },
        .isCancelled = {},
    };
    const HttpsRequest request{.url = at(LoopbackHttpsServer::archiveHost, "/files/payload"), .headers = {}};
    try {
        (void)client.get(request, receiver);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "head 200");
    }
    EXPECT_EQ(bodyCalls, 0);
}

TEST(HttpsUrl, AppendsToTheLastPathComponent) {
    struct Case {
        const char* url;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"https://content.example/marlowick/data/ventoy.v1.json",
         "https://content.example/marlowick/data/ventoy.v1.json.sig"},
        {"https://content.example/data/ventoy.v1.json?channel=beta",
         "https://content.example/data/ventoy.v1.json.sig?channel=beta"},
        {"https://content.example/data/", "https://content.example/data.sig"},
        {"not a url", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(HttpsUrl::appendingToLastPathComponent(c.url, ".sig"), c.expected);
    }
    EXPECT_TRUE(HttpsUrl::isValid("https://github.com/ventoy/Ventoy/releases/download/v1.1.17/x.tar.gz"));
    EXPECT_FALSE(HttpsUrl::isValid("https://github.com/ventoy/Ventoy/releases/download/v1.1.17 /x.tar.gz"));
    EXPECT_FALSE(HttpsUrl::isValid("no scheme here"));
}

}  // namespace
}  // namespace marlowick
