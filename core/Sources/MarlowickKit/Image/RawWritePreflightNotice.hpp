#pragma once
// One warning shown before an image is written over a whole drive.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

namespace marlowick {

struct RawWritePreflightNotice {
    // The file is shorter than the size the image declares.
    struct Truncated {
        std::int64_t declaredBytes;
        std::int64_t fileBytes;
        bool operator==(const Truncated&) const = default;
    };
    struct NoBootRecord {
        bool operator==(const NoBootRecord&) const = default;
    };
    struct BiosOnly {
        bool operator==(const BiosOnly&) const = default;
    };
    using Case = std::variant<Truncated, NoBootRecord, BiosOnly>;

    Case value;
    bool operator==(const RawWritePreflightNotice&) const = default;

    // The sentence the user reads; sizes in the user's locale.
    [[nodiscard]] std::string message() const;
};

// "truncated(declaredBytes: 100, fileBytes: 40)", "noBootRecord", "biosOnly"
[[nodiscard]] std::string render(const RawWritePreflightNotice& notice);
void PrintTo(const RawWritePreflightNotice& notice, std::ostream* os);

}  // namespace marlowick
