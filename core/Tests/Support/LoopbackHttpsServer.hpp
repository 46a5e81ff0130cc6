#pragma once
// A real HTTPS server on 127.0.0.1 for the tests of the download and registry code, so
// that no test reaches the network. Its certificate comes from a test CA made with
// openssl at start; clients reach it through CurlHttpsClient's CA file and host map
// (clientOptions()), under made-up host names the certificate names. The server is a
// Python process (loopback-https-server.py, which lists its paths); it is stopped by its
// own process id when the object goes.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Download/CurlHttpsClient.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {

class LoopbackHttpsServer {
public:
    // Host names the server's certificate names; each host's port 443 leads to it.
    static constexpr const char* archiveHost = "archive.marlowick.test";
    static constexpr const char* mirrorHost = "mirror.marlowick.test";
    static constexpr const char* contentHost = "content.marlowick.test";
    // A host that leads to the server too but that its certificate does not name.
    static constexpr const char* unnamedHost = "unnamed.marlowick.test";

    // Makes the CAs and the certificate and starts the server; throws std::runtime_error
    // when openssl or python3 fails.
    LoopbackHttpsServer();
    ~LoopbackHttpsServer();
    LoopbackHttpsServer(const LoopbackHttpsServer&) = delete;
    LoopbackHttpsServer& operator=(const LoopbackHttpsServer&) = delete;

    // Whether the tools the server needs are installed.
    static bool available();

    // The folder served under /files/ and the other file paths.
    [[nodiscard]] std::filesystem::path root() const { return folder.path() / "root"; }
    // Puts a file at `name` below the root ("v9.9.9/archive.tar.gz"), folders made as needed.
    void serve(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

    // "https://" + host + path.
    [[nodiscard]] static std::string url(const std::string& host, const std::string& path);
    // The test CA as trust store and every host above mapped to the server.
    [[nodiscard]] CurlHttpsClient::Options clientOptions() const;
    // The same hosts, trusting a CA that did not sign the server's certificate.
    [[nodiscard]] CurlHttpsClient::Options strangerOptions() const;
    [[nodiscard]] int port() const { return listeningPort; }

private:
    TempDir folder;
    pid_t pid = -1;
    int listeningPort = 0;
};

}  // namespace marlowick::test
