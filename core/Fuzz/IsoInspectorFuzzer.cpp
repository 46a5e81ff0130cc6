// Any bytes as the start of a disc image: the inspector gives the same header however the
// stream hands out its bytes (whole, or a few at a time), and the header holds together:
// a hybrid has the boot signature, UEFI evidence comes only with an El Torito record, and
// a declared size is positive.
// Input: one byte choosing the read size of the trickling stream, then the image's boot
// sector (512 bytes, zero-filled when short), then what follows from the volume
// descriptors at 32768 on, so that a small input reaches the descriptors and catalog.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "FuzzBlockDevice.hpp"
#include "Image/DataRawImageSource.hpp"
#include "Image/IsoInspector.hpp"

namespace {

using namespace marlowick;

constexpr std::size_t bootSectorBytes = 512;
constexpr std::size_t descriptorsStart = 16 * 2048;

// Hands out at most `chunk` bytes per read.
class TricklingStream final : public RawImageStream {
public:
    TricklingStream(std::span<const std::uint8_t> image, std::size_t chunkBytes) : bytes(image), chunk(chunkBytes) {}
    void close() override {}

protected:
    RawImageReadResult readSome(std::span<std::uint8_t> into) override {
        if (position >= bytes.size()) return RawImageReadResult::endOfStream();
        const std::size_t n = std::min({into.size(), chunk, bytes.size() - position});
        std::memcpy(into.data(), bytes.data() + position, n);
        position += n;
        return RawImageReadResult::bytes(static_cast<std::int64_t>(n));
    }

private:
    std::span<const std::uint8_t> bytes;
    std::size_t chunk;
    std::size_t position = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    const std::size_t chunk = fuzz::take(input, 1) % 64 + 1;
    std::vector<std::uint8_t> image(descriptorsStart, 0);
    const std::size_t boot = std::min(input.size(), bootSectorBytes);
    std::copy_n(input.begin(), boot, image.begin());
    image.insert(image.end(), input.begin() + static_cast<std::ptrdiff_t>(boot), input.end());

    const DataRawImageSource source(image);
    const IsoHeader header = IsoInspector::readHeader(source);
    TricklingStream trickling(image, chunk);
    if (!(IsoInspector::readHeader(trickling) == header)) std::abort();
    if (!(IsoInspector::readHeader(source) == header)) std::abort();

    if (std::holds_alternative<IsoInspection::Isohybrid>(header.inspection.value) &&
        !(image[510] == 0x55 && image[511] == 0xAA)) {
        std::abort();
    }
    if (header.bootRecord != IsoBootRecord::elTorito && header.uefiBoot != IsoUefiBoot::unknown) std::abort();
    if (header.declaredBytes && *header.declaredBytes < 1) std::abort();
    return 0;
}
