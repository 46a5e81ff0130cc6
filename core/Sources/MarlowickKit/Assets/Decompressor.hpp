#pragma once
// Whole-buffer gzip and xz decoding for the release archive and the boot files inside it.
// The gzip header is walked here; the DEFLATE data (zlib, raw) and the whole xz stream
// (liblzma) are decoded by the libraries. Nothing is stateful and nothing touches a file.
//
// Output is bounded: every call takes the most bytes it may produce, and a stream that
// would produce more ends in `corrupt` before that much memory is taken, so a small
// bomb cannot exhaust the application. Sizes and digests are the caller's to check.
//
// Writing compressed disk images streams through Image/'s decoders instead, which check
// every gzip trailer and read every member; this reader keeps only the first member
// and does not compare its trailer: the release manifest's digests vouch for the output.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Text/RawValueTable.hpp"

namespace marlowick {

struct DecompressionError : std::runtime_error {
    enum class Case {
        truncated,        // the input is too short for its container, or empty
        malformedHeader,  // the gzip magic bytes or compression method are wrong
        corrupt,          // the decoder failed to start, reported an error, or made too much output
    };
    explicit DecompressionError(Case c);  // what() == render(value)
    Case value;
};

inline constexpr RawValueTable<DecompressionError::Case, 3> decompressionErrorRawValues{
    {"truncated", "malformedHeader", "corrupt"}};

// "truncated", "malformedHeader", "corrupt"
[[nodiscard]] std::string render(DecompressionError::Case error);
void PrintTo(DecompressionError::Case error, std::ostream* os);

namespace Decompressor {

// Bytes of output made per decoder step, into one reused buffer.
inline constexpr std::size_t outputStepBytes = 65536;
// The most any call produces unless it is given a tighter bound.
inline constexpr std::size_t defaultOutputLimitBytes = std::size_t{1} << 30;

// The first member of a gzip file. Its header must be whole, with at least the 8-byte
// trailer after it; the trailer is cut off unread. Throws DecompressionError.
[[nodiscard]] std::vector<std::uint8_t> gunzip(std::span<const std::uint8_t> input,
                                               std::size_t outputLimitBytes = defaultOutputLimitBytes);

// The first xz stream of the input; anything after its end is ignored. The stream's
// integrity check is verified by the library. Throws DecompressionError.
[[nodiscard]] std::vector<std::uint8_t> unxz(std::span<const std::uint8_t> input,
                                             std::size_t outputLimitBytes = defaultOutputLimitBytes);

}  // namespace Decompressor
}  // namespace marlowick
