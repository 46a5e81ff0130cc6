#include "Download/VentoyAssetAcquirer.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <exception>
#include <sstream>

#include "Bytes/Sha256.hpp"
#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Phase = VentoyAcquisitionPhase;
using Result = VentoyAcquisitionResult;
using Reason = VentoyAcquisitionReason;

// The SHA-256 of a whole file, read in pieces; nullopt when it cannot be opened or read.
std::optional<std::string> fileDigest(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    Sha256::Hasher hasher;
    std::vector<std::uint8_t> buffer(1 << 20);
    bool readable = true;
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) readable = false;
        if (count <= 0) break;
        hasher.update(std::span(buffer.data(), static_cast<std::size_t>(count)));
    }
    ::close(fd);
    if (!readable) return std::nullopt;
    return hasher.finalHex();
}

Result failure(Reason::Case reason, std::string detail) {
    return {Result::Failure{Reason{std::move(reason)}, std::move(detail)}};
}

}  // namespace

std::string render(const VentoyAcquisitionPhase& phase) {
    struct Renderer {
        std::string operator()(const Phase::CheckingCache&) const { return "checkingCache"; }
        std::string operator()(const Phase::AlreadyCached&) const { return "alreadyCached"; }
        std::string operator()(const Phase::Downloading& downloading) const {
            std::ostringstream fraction;
            fraction << downloading.fraction;
            return CaseDescription("downloading").rawField("fraction", fraction.str()).str();
        }
        std::string operator()(const Phase::Extracting&) const { return "extracting"; }
        std::string operator()(const Phase::Caching&) const { return "caching"; }
        std::string operator()(const Phase::Ready&) const { return "ready"; }
    };
    return std::visit(Renderer{}, phase.value);
}

void PrintTo(const VentoyAcquisitionPhase& phase, std::ostream* os) { *os << render(phase); }

std::string render(const VentoyAcquisitionReason& reason) {
    struct Renderer {
        std::string operator()(const Reason::Extraction& extraction) const {
            return CaseDescription("extraction").rawValue(ventoyExtractionReasonRawValues.text(extraction.reason)).str();
        }
        std::string operator()(const Reason::Cache& cache) const {
            return CaseDescription("cache").rawValue(ventoyCacheReasonRawValues.text(cache.reason)).str();
        }
        std::string operator()(const Reason::Download&) const { return "download"; }
    };
    return std::visit(Renderer{}, reason.value);
}

void PrintTo(const VentoyAcquisitionReason& reason, std::ostream* os) { *os << render(reason); }

void PrintTo(const VentoyAcquisitionResult& result, std::ostream* os) {
    if (const auto* acquired = std::get_if<Result::Acquired>(&result.value)) {
        CaseDescription described("acquired");
        described.field("version", acquired->set.version);
        for (const auto& [asset, file] : acquired->set.files) described.field(render(asset), file.string());
        *os << described.str();
        return;
    }
    const auto& failed = std::get<Result::Failure>(result.value);
    *os << CaseDescription("failure").rawField("reason", render(failed.reason)).field("detail", failed.detail).str();
}

VentoyAssetAcquirer::FetchArchive VentoyAssetAcquirer::downloaderFetch(VentoyReleaseManifest manifest,
                                                                       CurlHttpsClient client,
                                                                       std::chrono::milliseconds idleTimeout) {
    return [downloader = VentoyArchiveDownloader(std::move(manifest), idleTimeout), client = std::move(client)](
               const ProgressCallback& onProgress, const CancelQuery& isCancelled) {
        return downloader.download(client, onProgress, isCancelled);
    };
}

VentoyAssetAcquirer::VentoyAssetAcquirer(VentoyReleaseManifest manifest, const fs::path& cacheRoot,
                                         FetchArchive fetchArchive)
    : manifestValue(std::move(manifest)),
      providerValue(cacheRoot),
      fetch(fetchArchive ? std::move(fetchArchive) : downloaderFetch(manifestValue)) {}

std::optional<VentoyAssetSet> VentoyAssetAcquirer::verifiedCached() const {
    std::optional<VentoyAssetSet> set = providerValue.cached(manifestValue);
    if (!set) return std::nullopt;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::optional<std::string> digest = fileDigest(set->url(asset));
        if (!digest || *digest != manifestValue.checksum(asset).decompressedSha256()) return std::nullopt;
    }
    return set;
}

VentoyAcquisitionResult VentoyAssetAcquirer::acquire(const PhaseCallback& onPhase,
                                                     const CancelQuery& isCancelled) const {
    const auto report = [&onPhase](Phase::Case phase) {
        if (onPhase) onPhase(Phase{std::move(phase)});
    };

    report(Phase::CheckingCache{});
    if (std::optional<VentoyAssetSet> cached = verifiedCached()) {
        report(Phase::AlreadyCached{});
        return {Result::Acquired{std::move(*cached)}};
    }

    std::vector<std::uint8_t> archive;
    try {
        archive = fetch([&report](double fraction) { report(Phase::Downloading{fraction}); }, isCancelled);
    } catch (const std::exception& error) {
        return failure(Reason::Download{}, error.what());
    } catch (...) {
        return failure(Reason::Download{}, "the archive fetch failed with an unknown error");
    }

    report(Phase::Extracting{});
    VentoyExtractionResult extracted = VentoyAssetExtractor::extract(archive, manifestValue);
    // The archive is not needed past this point; ~20 MB need not wait for the store.
    std::vector<std::uint8_t>().swap(archive);
    if (auto* failed = std::get_if<VentoyExtractionResult::Failure>(&extracted.value)) {
        return failure(Reason::Extraction{failed->reason}, std::move(failed->detail));
    }
    auto& files = std::get<VentoyExtractionResult::Success>(extracted.value);

    report(Phase::Caching{});
    VentoyCacheResult stored = providerValue.store(files.version, files.assets, manifestValue.archiveSha256());
    if (auto* failed = std::get_if<VentoyCacheResult::Failure>(&stored.value)) {
        return failure(Reason::Cache{failed->reason}, std::move(failed->detail));
    }

    report(Phase::Ready{});
    return {Result::Acquired{std::move(std::get<VentoyCacheResult::Stored>(stored.value).set)}};
}

}  // namespace marlowick
