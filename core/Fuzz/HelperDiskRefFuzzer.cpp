// Any bytes as a disk-reference document: decoding either refuses them with its own error
// or gives a value that encodes and decodes back to an equal value.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "HelperWire/HelperDiskRef.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marlowick;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto decoded = tryDecodeJson<HelperDiskRef>(text);
    if (!decoded) return 0;
    // What was read as UTF-8 can always be written again.
    const auto encoded = encodeJson(*decoded);
    if (!encoded) std::abort();
    const auto again = tryDecodeJson<HelperDiskRef>(*encoded);
    if (!again || !(*again == *decoded)) std::abort();
    if (decoded->rawDevicePath.find('\0') != std::string::npos) std::abort();
    return 0;
}
