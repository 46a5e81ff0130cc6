#pragma once
// Why a file could not be copied onto a mounted exFAT volume. The image copier returns
// these; the user-facing sentences for each case live with the other error texts.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

namespace marlowick {

struct ExfatWriteError {
    // The name has more UTF-16 code units than an exFAT name may hold (255).
    struct NameTooLong {
        std::int64_t length;
        bool operator==(const NameTooLong&) const = default;
    };
    struct NameNotAscii {
        std::string name;
        bool operator==(const NameNotAscii&) const = default;
    };
    struct NegativeSize {
        std::int64_t sizeBytes;
        bool operator==(const NegativeSize&) const = default;
    };
    struct NotEnoughSpace {
        std::int64_t clustersNeeded;
        std::int64_t clustersFree;
        bool operator==(const NotEnoughSpace&) const = default;
    };
    // The source ended before the size it declared up front.
    struct SourceTooShort {
        std::int64_t declared;
        std::int64_t actual;
        bool operator==(const SourceTooShort&) const = default;
    };
    struct Unsupported {
        std::string reason;
        bool operator==(const Unsupported&) const = default;
    };
    struct EmptyName {
        bool operator==(const EmptyName&) const = default;
    };
    using Case = std::variant<NameTooLong, NameNotAscii, NegativeSize, NotEnoughSpace, SourceTooShort, Unsupported,
                              EmptyName>;

    Case value;
    bool operator==(const ExfatWriteError&) const = default;
};

// "notEnoughSpace(clustersNeeded: 12, clustersFree: 3)", "emptyName"
[[nodiscard]] std::string render(const ExfatWriteError& error);
void PrintTo(const ExfatWriteError& error, std::ostream* os);

}  // namespace marlowick
