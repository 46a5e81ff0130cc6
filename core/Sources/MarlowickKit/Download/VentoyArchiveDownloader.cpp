#include "Download/VentoyArchiveDownloader.hpp"

#include <algorithm>
#include <optional>

#include "Bytes/Sha256.hpp"

namespace marlowick {
namespace {

constexpr double reportStep = 0.01;

// Reports as if every byte were looked at in turn: the first byte, then each byte at
// which the fraction has risen by at least one step since the last report. A chunk is
// searched for those bytes instead of walked, so a chunk costs a few reports at most.
class ProgressThrottle {
public:
    ProgressThrottle(std::int64_t totalBytes, const VentoyArchiveDownloader::ProgressCallback& callback)
        : total(totalBytes), onProgress(callback) {}

    // The byte count went from `before` to `after`.
    void advance(std::int64_t before, std::int64_t after) {
        if (!onProgress || total <= 0) return;
        std::int64_t position = before;
        while (position < after && qualifies(after)) {
            // The smallest count in (position, after] that qualifies; the fraction only grows.
            std::int64_t low = position + 1;
            std::int64_t high = after;
            while (low < high) {
                const std::int64_t middle = low + (high - low) / 2;
                if (qualifies(middle)) high = middle;
                else low = middle + 1;
            }
            lastReported = fraction(low);
            onProgress(lastReported);
            position = low;
        }
    }

private:
    [[nodiscard]] double fraction(std::int64_t count) const {
        return std::min(static_cast<double>(count) / static_cast<double>(total), 1.0);
    }
    [[nodiscard]] bool qualifies(std::int64_t count) const { return fraction(count) - lastReported >= reportStep; }

    std::int64_t total;
    const VentoyArchiveDownloader::ProgressCallback& onProgress;
    double lastReported = -1.0;
};

[[noreturn]] void fail(VentoyDownloadError::Case error) { throw VentoyDownloadError(std::move(error)); }

}  // namespace

VentoyArchiveDownloader::VentoyArchiveDownloader(VentoyReleaseManifest manifest, std::chrono::milliseconds idleTimeout)
    : manifestValue(std::move(manifest)), idleTimeoutValue(idleTimeout) {}

std::string VentoyArchiveDownloader::archiveURLString() const {
    return manifestValue.downloadBaseUrl() + "/v" + manifestValue.version() + "/" + manifestValue.archiveName();
}

std::string VentoyArchiveDownloader::archiveURL() const {
    std::string text = archiveURLString();
    if (!HttpsUrl::isValid(text)) fail(VentoyDownloadError::InvalidURL{text});
    return text;
}

void VentoyArchiveDownloader::verify(std::span<const std::uint8_t> archive) const {
    const auto count = static_cast<std::int64_t>(archive.size());
    if (count != manifestValue.archiveSizeBytes()) {
        fail(VentoyDownloadError::ArchiveSizeMismatch{count, manifestValue.archiveSizeBytes()});
    }
    std::string digest = Sha256::hex(archive);
    if (digest != manifestValue.archiveSha256()) {
        fail(VentoyDownloadError::ArchiveHashMismatch{std::move(digest), manifestValue.archiveSha256()});
    }
}

std::vector<std::uint8_t> VentoyArchiveDownloader::download(const CurlHttpsClient& client,
                                                            const ProgressCallback& onProgress,
                                                            const CancelQuery& isCancelled) const {
    const HttpsRequest request{
        .url = archiveURL(),
        .headers = {"User-Agent: Marlowick", "Accept: application/octet-stream"},
        .idleTimeout = idleTimeoutValue,
    };
    const std::int64_t expected = manifestValue.archiveSizeBytes();
    std::vector<std::uint8_t> archive;
    std::optional<ProgressThrottle> progress;

    const HttpsReceiver receiver{
        .onHead =
            [&](const HttpsResponseHead& head) {
                if (head.status < 200 || head.status > 299) fail(VentoyDownloadError::HttpStatus{head.status});
                // A declared length past the manifest's size can only end in a mismatch;
                // stop before receiving or reserving any of it.
                if (head.contentLength && *head.contentLength > expected) {
                    fail(VentoyDownloadError::ArchiveSizeMismatch{*head.contentLength, expected});
                }
                const std::int64_t total =
                    head.contentLength && *head.contentLength >= 1 ? *head.contentLength : expected;
                archive.reserve(static_cast<std::size_t>(total));
                progress.emplace(total, onProgress);
            },
        .onBody =
            [&](std::span<const std::uint8_t> bytes) {
                const auto before = static_cast<std::int64_t>(archive.size());
                const auto after = before + static_cast<std::int64_t>(bytes.size());
                if (after > expected) fail(VentoyDownloadError::ArchiveSizeMismatch{after, expected});
                archive.insert(archive.end(), bytes.begin(), bytes.end());
                progress->advance(before, after);
            },
        .isCancelled = isCancelled,
    };
    (void)client.get(request, receiver);

    if (onProgress) onProgress(1.0);
    verify(archive);
    return archive;
}

}  // namespace marlowick
