#pragma once
// Fetches one release archive over HTTPS into memory and checks the whole of it against
// the manifest's size and SHA-256 before handing it on. Runs on the caller's thread and
// blocks until done; nothing is written to disk and nothing is retried or logged.
//
// What the server may make it do is bounded by the manifest: a body longer than
// `archiveSizeBytes` (declared or sent) ends the transfer at once, and the receiving
// buffer is never sized beyond that. A cancel query ends the transfer within about a
// second.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Download/CurlHttpsClient.hpp"
#include "Download/VentoyDownloadError.hpp"
#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick {

class VentoyArchiveDownloader {
public:
    // A fraction from 0 to 1, on the thread that runs the download; must be cheap.
    using ProgressCallback = std::function<void(double fraction)>;
    using CancelQuery = std::function<bool()>;

    // Connect within this long, and give up when no byte arrives for this long.
    static constexpr std::chrono::milliseconds defaultIdleTimeout{60'000};

    explicit VentoyArchiveDownloader(VentoyReleaseManifest manifest,
                                     std::chrono::milliseconds idleTimeout = defaultIdleTimeout);

    [[nodiscard]] const VentoyReleaseManifest& manifest() const { return manifestValue; }

    // downloadBaseUrl + "/v" + version + "/" + archiveName, joined as they stand (a base
    // ending in "/" gives a double slash).
    [[nodiscard]] std::string archiveURLString() const;
    // archiveURLString() once it reads as a URL; throws VentoyDownloadError::InvalidURL.
    [[nodiscard]] std::string archiveURL() const;

    // Throws ArchiveSizeMismatch when the byte count differs from the manifest's (the
    // hash is then not computed), else ArchiveHashMismatch when the lower-case SHA-256
    // differs from `archiveSha256` as text.
    void verify(std::span<const std::uint8_t> archive) const;

    // GET with "User-Agent: Marlowick" and "Accept: application/octet-stream". Throws
    // VentoyDownloadError (address, status outside 200 to 299, size, digest) or
    // HttpsError (transport, cancelled).
    //
    // Progress: the fraction is bytes received ÷ the declared length (the manifest's size
    // when none or 0 is declared), capped at 1. The first byte is always reported, then
    // each rise of at least 0.01 since the last report, then a final 1.0 when the body is
    // complete, before verification.
    [[nodiscard]] std::vector<std::uint8_t> download(const CurlHttpsClient& client,
                                                     const ProgressCallback& onProgress = {},
                                                     const CancelQuery& isCancelled = {}) const;

private:
    VentoyReleaseManifest manifestValue;
    std::chrono::milliseconds idleTimeoutValue;
};

}  // namespace marlowick
