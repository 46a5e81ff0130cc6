// Any bytes as a frame line from the helper: decoding either refuses them or gives a frame
// that encodes and decodes back to an equal value, and whose texts can all be built.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "HelperWire/HelperWireCodec.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marlowick;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto decoded = HelperLineCoding::decodeFrame(line);
    if (!decoded) {
        // A reply that is no result still gives a result.
        (void)HelperLineCoding::decodeResult(line).diagnosticOutcome();
        return 0;
    }
    const auto encoded = HelperLineCoding::encodeLine(*decoded);
    if (!encoded || encoded->find('\n') != encoded->size() - 1) std::abort();
    const auto again = HelperLineCoding::decodeFrame(std::string_view(*encoded).substr(0, encoded->size() - 1));
    if (!again || !(*again == *decoded)) std::abort();
    if (const auto* progress = std::get_if<HelperWireFrame::Progress>(&decoded->value)) {
        if (progress->progress.currentBytes.value_or(0) < 0 || progress->progress.totalBytes.value_or(0) < 0) {
            std::abort();
        }
    } else {
        const HelperResult& result = std::get<HelperWireFrame::Result>(decoded->value).result;
        (void)result.diagnosticOutcome();
        (void)result.diagnosticDetails();
    }
    return 0;
}
