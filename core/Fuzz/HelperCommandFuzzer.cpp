// Any bytes as a command line: decoding either refuses them or gives a command that encodes
// and decodes back to an equal value, with no NUL byte in any path it names.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "HelperWire/HelperWireCodec.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marlowick;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto decoded = HelperLineCoding::decodeCommand(line);
    if (!decoded) return 0;
    const auto encoded = HelperLineCoding::encodeLine(*decoded);
    if (!encoded || encoded->empty() || encoded->back() != '\n') std::abort();
    if (encoded->find('\n') != encoded->size() - 1) std::abort();  // one line, whatever the texts hold
    const auto again = HelperLineCoding::decodeCommand(std::string_view(*encoded).substr(0, encoded->size() - 1));
    if (!again || !(*again == *decoded)) std::abort();
    if (decoded->disk().rawDevicePath.find('\0') != std::string::npos) std::abort();
    return 0;
}
