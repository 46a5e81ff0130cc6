#pragma once
// Splits a tar stream held whole in memory into its members, each with its raw header
// name and a copy of its content. Only the classic header's name (offset 0, 100 bytes) and
// octal size (offset 124, 12 bytes) are read; type flags, checksums, the ustar prefix and
// extension headers are not interpreted, so a directory, a link or a pax or GNU long-name
// header is a member like any other under its raw name.
//
// A name is data, never a path: nothing here, nor in its callers, makes a file from it.

#include <cstdint>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace marlowick {

struct TarMember {
    // The bytes before the first zero within the header's 100-byte name field, as UTF-8
    // with every invalid sequence replaced by U+FFFD.
    std::string name;
    std::vector<std::uint8_t> data;

    bool operator==(const TarMember&) const = default;
};

void PrintTo(const TarMember& member, std::ostream* os);  // "name (N bytes)"

struct TarError : std::runtime_error {
    // The header's size field is not an octal number.
    struct UnparseableSize {
        std::string name;
        bool operator==(const UnparseableSize&) const = default;
    };
    // The data ends before a header, before a member's content ends, or before the
    // all-zero block that ends the archive.
    struct UnexpectedEnd {
        bool operator==(const UnexpectedEnd&) const = default;
    };
    using Case = std::variant<UnparseableSize, UnexpectedEnd>;

    explicit TarError(Case c);  // what() == render(value)
    Case value;
};

// "unparseableSize(name: \"x/y\")", "unexpectedEnd"
[[nodiscard]] std::string render(const TarError::Case& error);
void PrintTo(const TarError::Case& error, std::ostream* os);

namespace TarReader {

inline constexpr std::size_t blockBytes = 512;

// The members in archive order, up to the first all-zero block (nothing after it is read).
// Throws TarError at the first problem; no list is returned then.
[[nodiscard]] std::vector<TarMember> members(std::span<const std::uint8_t> archive);

}  // namespace TarReader
}  // namespace marlowick
