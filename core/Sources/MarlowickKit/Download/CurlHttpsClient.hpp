#pragma once
// The one way the library talks to a web server: HTTPS GET over libcurl, for the release
// archive and for the signed registry. The rules are fixed here and nothing at run time
// loosens them:
//  - HTTPS only, for the first request and for every redirect; at most 5 redirects;
//  - the server's certificate chain and host name are always verified;
//  - time-outs are idle time-outs: the connection must stand within the time-out, and
//    the transfer ends, within a tenth of a second, once no byte has arrived for that
//    long, so a slow but moving download is never cut off;
//  - a transfer can be cancelled: the query is polled about ten times a second.
// Two settings exist so that tests can reach a loopback server, and they come only from
// the constructor: a CA file that replaces the system's trust store, and a map that sends
// "host:port" to another "address:port" (the certificate must still name the host).
// Proxies named in the usual environment variables are used as libcurl uses them: the
// TLS session still runs end to end with the real host and is verified as above.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace marlowick {

// Why a transfer did not complete, with libcurl's own text for transport failures.
struct HttpsError : std::runtime_error {
    enum class Kind {
        transport,          // no connection, TLS refused, time-out, redirect to a refused scheme …
        cancelled,          // the caller's cancel query said yes
        badServerResponse,  // a status outside 200 to 299 where only success is accepted
        tooLarge,           // a body larger than the caller accepts
    };
    HttpsError(Kind errorKind, const std::string& text) : std::runtime_error(text), kind(errorKind) {}
    Kind kind;
};

struct HttpsRequest {
    std::string url;
    std::vector<std::string> headers;  // "Name: value"
    std::chrono::milliseconds idleTimeout{60'000};
};

// The final response, after redirects.
struct HttpsResponseHead {
    long status = 0;
    std::optional<std::int64_t> contentLength;  // none when the server did not declare one
};

// What the caller does with a response, called on the thread that runs get(). Either
// callback may throw to end the transfer at once; get() then rethrows that exception.
struct HttpsReceiver {
    // Once per transfer, before any body byte of the final response (or after the
    // transfer when the body is empty).
    std::function<void(const HttpsResponseHead&)> onHead;
    std::function<void(std::span<const std::uint8_t>)> onBody;
    // Polled during the transfer; true ends it with HttpsError::Kind::cancelled.
    std::function<bool()> isCancelled;
};

class CurlHttpsClient {
public:
    struct Options {
        // Replaces the system's trust store; none means the system's.
        std::optional<std::filesystem::path> caFile;
        // "host:port" → "address:port": where to connect for that host instead.
        std::map<std::string, std::string> connectTo;
    };

    // The production client: the system's trust store, the real hosts.
    CurlHttpsClient();
    explicit CurlHttpsClient(Options options);

    // Runs one GET to the end. Returns the final response's head; throws HttpsError, or
    // whatever a receiver callback threw. Safe to call from several threads at once.
    HttpsResponseHead get(const HttpsRequest& request, const HttpsReceiver& receiver) const;

    // GET that accepts only a status from 200 to 299 (else badServerResponse) and a body
    // of at most `maximumBytes` (else tooLarge); returns the body.
    [[nodiscard]] std::vector<std::uint8_t> fetch(const std::string& url, std::chrono::milliseconds idleTimeout,
                                                  std::int64_t maximumBytes,
                                                  const std::function<bool()>& isCancelled = {}) const;

private:
    Options settings;
};

namespace HttpsUrl {

// True when libcurl reads `text` as a whole URL (scheme, host; no spaces or control
// characters).
[[nodiscard]] bool isValid(const std::string& text);

// The URL with `suffix` appended to its last path component, query and fragment kept:
// ".../data/ventoy.v1.json" → ".../data/ventoy.v1.json.sig". None for a URL that does not
// parse.
[[nodiscard]] std::optional<std::string> appendingToLastPathComponent(const std::string& url,
                                                                      const std::string& suffix);

}  // namespace HttpsUrl

}  // namespace marlowick
