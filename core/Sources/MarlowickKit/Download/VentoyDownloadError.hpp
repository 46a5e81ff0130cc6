#pragma once
// Why a downloaded release archive was refused. Thrown by VentoyArchiveDownloader; the
// value carries no sentence of its own, what() is its render(). Transport failures
// (no connection, TLS, time-out, cancel) are HttpsError instead.

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <variant>

namespace marlowick {

struct VentoyDownloadError : std::runtime_error {
    struct InvalidURL {
        std::string address;
        bool operator==(const InvalidURL&) const = default;
    };
    struct HttpStatus {
        std::int64_t code;
        bool operator==(const HttpStatus&) const = default;
    };
    struct ArchiveSizeMismatch {
        std::int64_t actual;
        std::int64_t expected;
        bool operator==(const ArchiveSizeMismatch&) const = default;
    };
    struct ArchiveHashMismatch {
        std::string actual;
        std::string expected;
        bool operator==(const ArchiveHashMismatch&) const = default;
    };
    using Case = std::variant<InvalidURL, HttpStatus, ArchiveSizeMismatch, ArchiveHashMismatch>;

    explicit VentoyDownloadError(Case c);  // what() == render(value)
    Case value;
};

// "invalidURL(\"https://…\")", "httpStatus(404)", "archiveSizeMismatch(actual: 0, expected: 20291141)",
// "archiveHashMismatch(actual: \"…\", expected: \"…\")"
[[nodiscard]] std::string render(const VentoyDownloadError::Case& error);
void PrintTo(const VentoyDownloadError& error, std::ostream* os);

}  // namespace marlowick
